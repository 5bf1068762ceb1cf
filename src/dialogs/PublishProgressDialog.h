#pragma once

#include "publish/Publisher.h"

#include <QDialog>
#include <QElapsedTimer>

class QLabel;
class QProgressBar;
class QPushButton;

// Shown while a publish runs: the current file and the whole publish, in
// files and bytes, the speed, and Cancel. Closing it asks to cancel; it goes
// away only when the work has stopped (finish()).
class PublishProgressDialog : public QDialog {
    Q_OBJECT

public:
    explicit PublishProgressDialog(QWidget *parent = nullptr);

    void setStatus(const QString &text);
    void setProgress(const Publisher::Progress &progress);
    // The work has ended: the dialog closes.
    void finish();
    bool cancelRequested() const { return m_cancelRequested; }

    QPushButton *cancelButton() const { return m_cancel; }
    QLabel *fileLabel() const { return m_fileLabel; }
    QLabel *totalLabel() const { return m_totalLabel; }

    void reject() override;

Q_SIGNALS:
    void cancelled();

private:
    QLabel *m_status = nullptr;
    QLabel *m_fileLabel = nullptr;
    QProgressBar *m_fileBar = nullptr;
    QLabel *m_totalLabel = nullptr;
    QProgressBar *m_totalBar = nullptr;
    QPushButton *m_cancel = nullptr;
    QElapsedTimer m_clock;
    bool m_cancelRequested = false;
    bool m_finished = false;
};
