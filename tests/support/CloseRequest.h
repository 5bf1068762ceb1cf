#pragma once

#include <QCoreApplication>
#include <QEvent>
#include <QGuiApplication>
#include <QObject>
#include <QWidget>
#include <QWindow>
#include <qpa/qwindowsysteminterface.h>
#include <xcb/xcb.h>

// A window manager's close request (Alt+F4, a title bar's or a taskbar's
// Close) as the window receives it.
namespace CloseRequest {

inline bool onXcb() {
    return QGuiApplication::platformName() == QLatin1StringView("xcb");
}

// Counts the close events that reach a widget.
class Counter : public QObject {
public:
    explicit Counter(QWidget &widget)
        : QObject(&widget) {
        widget.installEventFilter(this);
    }
    int count = 0;

protected:
    bool eventFilter(QObject *, QEvent *event) override {
        if (event->type() == QEvent::Close)
            ++count;
        return false;
    }
};

// What the platform plugin does on a close request: hand the window system's
// close event to the window.
inline void fromPlatform(QWidget &window) {
    QWindowSystemInterface::handleCloseEvent<QWindowSystemInterface::SynchronousDelivery>(
        window.windowHandle());
}

namespace detail {
inline xcb_atom_t atom(xcb_connection_t *connection, const char *name) {
    const auto cookie = xcb_intern_atom(connection, 0, uint16_t(qstrlen(name)), name);
    xcb_intern_atom_reply_t *reply = xcb_intern_atom_reply(connection, cookie, nullptr);
    const xcb_atom_t result = reply ? reply->atom : XCB_ATOM_NONE;
    free(reply);
    return result;
}
} // namespace detail

// What a window manager sends: WM_DELETE_WINDOW through the X server, from a
// connection of its own. Returns false when no X server takes it.
inline bool fromWindowManager(QWidget &window) {
    xcb_connection_t *connection = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(connection)) {
        xcb_disconnect(connection);
        return false;
    }
    xcb_client_message_event_t event{};
    event.response_type = XCB_CLIENT_MESSAGE;
    event.format = 32;
    event.window = xcb_window_t(window.winId());
    event.type = detail::atom(connection, "WM_PROTOCOLS");
    event.data.data32[0] = detail::atom(connection, "WM_DELETE_WINDOW");
    event.data.data32[1] = XCB_CURRENT_TIME;
    xcb_send_event(connection, 0, event.window, XCB_EVENT_MASK_NO_EVENT,
                   reinterpret_cast<const char *>(&event));
    // A round trip: the server has passed the message on when this returns.
    free(xcb_get_input_focus_reply(connection, xcb_get_input_focus(connection), nullptr));
    xcb_disconnect(connection);
    return true;
}
} // namespace CloseRequest
