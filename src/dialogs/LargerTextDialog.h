#pragma once

#include <QDialog>
#include <QString>

class QPlainTextEdit;

// "Edit in a Larger Box…": a long text (a description, a summary) in a
// multi-line plain-text editor. OK gives the text back to its box.
class LargerTextDialog : public QDialog {
    Q_OBJECT

public:
    LargerTextDialog(const QString &caption, const QString &text, QWidget *parent = nullptr);

    QString text() const;
    QPlainTextEdit *editor() const { return m_editor; }

private:
    QPlainTextEdit *m_editor = nullptr;
};
