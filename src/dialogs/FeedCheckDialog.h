#pragma once

#include "feed/FeedFinding.h"

#include <QDialog>
#include <optional>

class FeedFindingsModel;
class QLabel;
class QPushButton;
class QTableView;

// Lists the findings of a feed check. Activating one (double-click or Enter)
// closes the dialog and leaves that finding as chosen(), so the window can
// take the user to it.
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

private:
    void choose(const QModelIndex &index);

    FeedFindingsModel *m_model = nullptr;
    QTableView *m_view = nullptr;
    QLabel *m_summary = nullptr;
    QPushButton *m_close = nullptr;
    std::optional<FeedFinding> m_chosen;
};
