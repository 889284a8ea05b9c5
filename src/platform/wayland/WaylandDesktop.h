#pragma once

#include "platform/Clock.h"
#include "platform/Desktop.h"
#include "platform/DesktopNotices.h"
#include "platform/wayland/DataControlClipboard.h"
#include "platform/wayland/KeyboardRoute.h"
#include "platform/wayland/WaylandConnection.h"
#include "platform/wayland/WindowList.h"
#include "platform/x11/DesktopEntries.h"
#include "platform/x11/SelectionWatch.h"

#include <QStringList>

#include <deque>
#include <functional>
#include <memory>
#include <vector>

namespace sonarel::wayland {

// The desktop services on a Wayland session, each from the best source the compositor offers:
// - the windows and the focused one from `toplevels` (foreign-toplevel, KWin's own list, or
//   GNOME's accessibility bus); while none is known to have the focus, every dictation started
//   from the shortcut counts as made for another application;
// - the clipboard and primary selection through data-control, which works unfocused; without it
//   through Qt, whose X11 selection the compositor's bridge hands to Wayland clients;
// - keystrokes through the first usable route of `routes`, trying the next when one fails.
// A keystroke waits, on the clock's timers, until it can land where it is meant to:
// - an application being activated has the focus; the keystrokes for one that is not in front
//   within kActivationWait (GNOME's accessibility bus cannot raise a window) are dropped with a
//   notice, since they would land in whatever has the focus, often Sonarel's own window;
// - the shortcut's keys are up, where the hot-key service says so (at most kReleaseWait);
// - on the X11 selection the compositor bridges (XWayland without data-control), the paste waits
//   until the bridge has listed the targets of both selections (at most kBridgeWait): until then
//   Wayland clients would still paste the previous text;
// - Return goes after the pasted text has been read, as on X11: kReturnAfterRead after the first
//   read since the paste went (of the selection the paste used, on the bridged X11 selection,
//   since GNOME's clipboard manager fetches every new clipboard); a Return whose paste was not
//   read within kPasteReadWait, or that follows no paste, is dropped, since alone it would run
//   whatever the line already held. Where no read can be seen, Return goes kReturnAfterPaste
//   after the paste.
// The paste keystroke goes as Shift+Insert into a terminal (which pastes the primary selection,
// set to the same text) or where the application in front is unknown, and as Ctrl+V elsewhere.
class WaylandDesktop : public Desktop {
    Q_OBJECT

public:
    static constexpr double kActivationWait = 1.0;
    static constexpr double kReleaseWait = 1.0;
    static constexpr double kBindingKeysUp = 0.4;
    static constexpr double kReturnAfterPaste = 0.05;
    static constexpr double kReturnAfterRead = 0.1;
    static constexpr double kPasteReadWait = 3.0;
    static constexpr double kBridgeWait = 1.0;
    static constexpr double kPollInterval = 0.005;

    using TerminalTest = std::function<bool(const QString& applicationId)>;

    struct Parts {
        std::unique_ptr<WaylandConnection> connection;  // none where there is no compositor
        std::unique_ptr<WindowList> toplevels;
        std::unique_ptr<DataControlClipboard> clipboard;
        std::unique_ptr<x11::SelectionWatch> x11Selection;  // without data-control, on XWayland
        std::vector<std::unique_ptr<KeyboardRoute>> routes;
    };

    // `ownIds` are the application ids under which this process's windows are listed.
    WaylandDesktop(Parts parts, Clock& clock, TerminalTest isTerminal, QStringList ownIds,
                   DesktopNotices& notices);
    ~WaylandDesktop() override;

    Application frontmostApplication() override;
    std::vector<Application> runningApplications() override;
    qint64 processIdentifier() const override;
    std::optional<QString> applicationId() const override;
    bool ownWindowHasFocus() override;
    void setClipboardText(const QString& text) override;
    bool mayPostKeystrokes() override;
    void requestKeystrokeAccess() override;
    bool postKeystroke(Keystroke keystroke) override;

    // The hot-key service's word on the shortcut's keys: held from its press to its release.
    void setShortcutHeld(bool held);
    // The desktop's own binding ran `sonarel --alternar`: its keys may still be down.
    void commandRan();
    // The next keystrokes wait until this window has the focus.
    void expectActivation(std::shared_ptr<const Toplevel> toplevel);
    void activate(const Toplevel& toplevel);

private:
    struct Queued {
        Keystroke keystroke;
        double queuedAt;
    };

    Application applicationOf(const std::shared_ptr<const Toplevel>& toplevel);
    KeyboardRoute* route() const;
    std::vector<std::uint32_t> chord(Keystroke keystroke) const;
    bool ready(const Queued& queued) const;
    // An application being activated that did not come to the front in time.
    bool activationFailed() const;
    // Whether the compositor's bridge has taken the X11 selection set last, or no longer will.
    bool bridged() const;
    // A Return whose paste was not read in time, or that follows no paste.
    bool orphanReturn(const Queued& queued) const;
    void send(Keystroke keystroke);
    void pump();

    Parts parts_;
    Clock& clock_;
    TerminalTest isTerminal_;
    QStringList ownIds_;
    DesktopNotices& notices_;
    x11::DesktopEntries entries_;
    std::deque<Queued> queue_;
    std::unique_ptr<Timer> poll_;
    std::shared_ptr<const Toplevel> awaited_;
    double awaitedSince_ = 0;
    bool shortcutHeld_ = false;
    double commandRanAt_ = kDistantPast;
    double lastPasteAt_ = kDistantPast;
    double pasteReadAt_ = kDistantPast;
    bool pasteUsesPrimary_ = false;
    double selectionSetAt_ = kDistantPast;  // on the bridged X11 selection
    bool listed_[2] = {false, false};       // by the bridge since: clipboard, primary
};

// The notice shown when no route could send a keystroke.
QString noKeyboardNotice();
// The notice shown when the application to type into did not come to the front.
QString notActivatedNotice();

}  // namespace sonarel::wayland
