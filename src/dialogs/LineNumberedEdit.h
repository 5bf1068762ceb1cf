#pragma once

#include <QPlainTextEdit>

// A plain-text editor for XML with the line numbers in a margin, so that a
// position in a message can be found at a glance.
class LineNumberedEdit : public QPlainTextEdit {
    Q_OBJECT

public:
    explicit LineNumberedEdit(QWidget *parent = nullptr);

    int marginWidth() const;
    QWidget *margin() const { return m_margin; }
    // 1-based line and column, as messages give them.
    void moveCursorTo(int line, int column);

protected:
    void resizeEvent(QResizeEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void updateMarginWidth();
    void paintMargin(QPaintEvent *event);

    QWidget *m_margin = nullptr;
};
