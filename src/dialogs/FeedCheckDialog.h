#pragma once

#include "feed/FeedFinding.h"

#include <QDialog>
#include <functional>
#include <optional>

class FeedFindingsModel;
class QLabel;
class QPushButton;
class QTableView;

// Lists the findings of a feed check. Activating one (double-click or Enter)
// closes the dialog and leaves that finding as chosen(), so the window can
// take the user to it. A finding with a safe fix enables "Fix" and "Fix All
// Like This", which ask the window for the fix (fixRequested); the window
// then shows the new check (setFindings).
class FeedCheckDialog : public QDialog {
    Q_OBJECT

public:
    explicit FeedCheckDialog(const QList<FeedFinding> &findings, QWidget *parent = nullptr);

    static QString caption();
    // "2 errors and 1 warning: the directories refuse this feed." and the like.
    static QString summaryText(const QList<FeedFinding> &findings);

    FeedFindingsModel *model() const { return m_model; }
    QTableView *view() const { return m_view; }
    QLabel *summary() const { return m_summary; }
    const std::optional<FeedFinding> &chosen() const { return m_chosen; }
    QPushButton *fixButton() const { return m_fix; }
    QPushButton *fixAllButton() const { return m_fixAll; }

    using CanFix = std::function<bool(const FeedFinding &)>;
    using Describe = std::function<QString(const FeedFinding &)>;
    void setFixes(CanFix canFix, Describe describe);
    void setFindings(const QList<FeedFinding> &findings);

Q_SIGNALS:
    // all: every finding of the finding's rule, those left out of the list too.
    void fixRequested(const FeedFinding &finding, bool all);

private:
    void choose(const QModelIndex &index);
    void updateFixButtons();
    void requestFix(bool all);

    FeedFindingsModel *m_model = nullptr;
    QTableView *m_view = nullptr;
    QLabel *m_summary = nullptr;
    QPushButton *m_close = nullptr;
    QPushButton *m_fix = nullptr;
    QPushButton *m_fixAll = nullptr;
    CanFix m_canFix;
    Describe m_describe;
    std::optional<FeedFinding> m_chosen;
};
