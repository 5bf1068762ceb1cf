#pragma once

#include <QCursor>
#include <QObject>

class QWidget;

// The window has one pointer setting: moving over a push button switches it to
// the hand, moving over the background, a frame or the list back to the arrow.
class HoverCursorRule : public QObject {
    Q_OBJECT

public:
    HoverCursorRule(QWidget &window, QCursor hand);

    void addButton(QWidget &button);
    void addBackground(QWidget &background);

    void setHand(const QCursor &hand) { m_hand = hand; }
    const QCursor &hand() const { return m_hand; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void showHand();
    void showArrow();

    QWidget &m_window;
    QCursor m_hand;
};
