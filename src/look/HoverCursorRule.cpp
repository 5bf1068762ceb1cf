#include "HoverCursorRule.h"

#include <QEvent>
#include <QWidget>

namespace {
const char *const Role = "brindlewoodHoverRole";
enum : int { ButtonRole = 1, BackgroundRole = 2 };
} // namespace

HoverCursorRule::HoverCursorRule(QWidget &window, QCursor hand)
    : QObject(&window)
    , m_window(window)
    , m_hand(std::move(hand)) {
    addBackground(window);
}

void HoverCursorRule::addButton(QWidget &button) {
    button.setProperty(Role, int(ButtonRole));
    button.installEventFilter(this);
}

void HoverCursorRule::addBackground(QWidget &background) {
    background.setProperty(Role, int(BackgroundRole));
    background.installEventFilter(this);
}

bool HoverCursorRule::eventFilter(QObject *watched, QEvent *event) {
    const int role = watched->property(Role).toInt();
    switch (event->type()) {
    case QEvent::Enter:
        // A child entered from its container does not re-enter the container,
        // so buttons and backgrounds each say what they are on entering.
        if (role == ButtonRole)
            showHand();
        else if (role == BackgroundRole)
            showArrow();
        break;
    case QEvent::Leave:
        // Leaving a button or a frame lands on the background around it.
        if (watched != &m_window)
            showArrow();
        break;
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}

void HoverCursorRule::showHand() {
    m_window.setCursor(m_hand);
}

void HoverCursorRule::showArrow() {
    m_window.setCursor(Qt::ArrowCursor);
}
