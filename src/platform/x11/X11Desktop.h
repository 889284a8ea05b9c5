#pragma once

#include "platform/Clock.h"
#include "platform/Desktop.h"
#include "platform/x11/DesktopEntries.h"
#include "platform/x11/X11Session.h"
#include "platform/x11/XTestKeyboard.h"

#include <QAbstractNativeEventFilter>

#include <functional>
#include <memory>

namespace sonarel::x11 {

// The desktop services on X11, over Qt's own xcb connection: the frontmost application is the
// window _NET_ACTIVE_WINDOW names, the running ones those of _NET_CLIENT_LIST; activations are
// that property's changes; the clipboard is CLIPBOARD and PRIMARY; keystrokes go through XTest,
// whose presence is the access to post them.
class X11Desktop : public Desktop, public QAbstractNativeEventFilter {
    Q_OBJECT

public:
    // Whether an application identifier pastes the way terminals do (Shift+Insert).
    using TerminalTest = std::function<bool(const QString& applicationId)>;

    // None unless the application runs on X11.
    static std::unique_ptr<X11Desktop> create(Clock& clock, TerminalTest isTerminal);
    ~X11Desktop() override;

    Application frontmostApplication() override;
    std::vector<Application> runningApplications() override;
    qint64 processIdentifier() const override;
    std::optional<QString> applicationId() const override;
    bool ownWindowHasFocus() override;
    void setClipboardText(const QString& text) override;
    bool mayPostKeystrokes() override;
    void requestKeystrokeAccess() override {}
    bool postKeystroke(Keystroke keystroke) override;

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

private:
    X11Desktop(X11Session session, Clock& clock, TerminalTest isTerminal);
    Application applicationOf(xcb_window_t window);
    void activeWindowChanged();

    X11Session session_;
    TerminalTest isTerminal_;
    DesktopEntries entries_;
    XTestKeyboard keyboard_;
    xcb_atom_t activeWindowAtom_;
};

}  // namespace sonarel::x11
