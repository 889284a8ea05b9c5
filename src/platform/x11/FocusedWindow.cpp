#include "platform/x11/FocusedWindow.h"

#include "platform/x11/XcbReply.h"

#include <QGuiApplication>
#include <QWindow>

namespace sonarel::x11 {

namespace {

bool takesTheKeyboard(const QWindow* window) {
    return window && !(window->flags() & Qt::WindowDoesNotAcceptFocus);
}

}  // namespace

bool ownWindowHasFocus() {
    const auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    if (!x11) {
        return takesTheKeyboard(QGuiApplication::focusWindow());
    }
    xcb_connection_t* connection = x11->connection();
    const ReplyPtr<xcb_get_input_focus_reply_t> focus =
        owned(xcb_get_input_focus_reply, connection, xcb_get_input_focus(connection));
    if (!focus) {
        return false;
    }
    for (const QWindow* window : QGuiApplication::topLevelWindows()) {
        if (takesTheKeyboard(window) && window->handle() && window->winId() == focus->focus) {
            return true;
        }
    }
    return false;
}

}  // namespace sonarel::x11
