#pragma once

#include "platform/Desktop.h"
#include "platform/x11/X11Session.h"

#include <functional>

namespace sonarel::x11 {

class DesktopEntries;

// What a top-level window says about the application behind it, read when the handle is made.
struct WindowIdentity {
    xcb_window_t window = XCB_WINDOW_NONE;
    qint64 pid = 0;
    std::optional<QString> applicationId;
    std::optional<QString> name;
    bool normalWindow = true;
};

// The application identifier of a window that announces only its WM_CLASS: the reverse-DNS id
// of the desktop file announcing that class, else the class name.
std::optional<QString> applicationIdOfClass(const DesktopEntries& entries, const QString& instance,
                                            const QString& className);

// The application identifier of a window: its reverse-DNS id where it carries one (GTK and KDE
// properties, or the desktop file announcing its window class), else its WM_CLASS class name.
WindowIdentity identify(const X11Session& session, const DesktopEntries& entries,
                        xcb_window_t window);

// An application reached through one of its top-level windows.
class X11Application : public RunningApplication {
public:
    // `activating` is told of every activation this handle asks for, before it is asked.
    X11Application(X11Session session, WindowIdentity identity,
                   std::function<void(xcb_window_t)> activating);

    qint64 processIdentifier() const override { return identity_.pid; }
    std::optional<QString> applicationId() const override { return identity_.applicationId; }
    std::optional<QString> displayName() const override { return identity_.name; }
    bool isTerminated() const override;
    bool hasNormalWindow() const override { return identity_.normalWindow; }
    void activate() override;

    xcb_window_t window() const { return identity_.window; }

private:
    // The handle's window while it is listed; else another listed window of the same process;
    // else none.
    xcb_window_t currentWindow() const;

    X11Session session_;
    WindowIdentity identity_;
    std::function<void(xcb_window_t)> activating_;
};

}  // namespace sonarel::x11
