#pragma once

#include "platform/Clock.h"
#include "platform/Desktop.h"
#include "platform/x11/X11Session.h"

#include <QObject>

#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace sonarel::x11 {

// Synthesised keystrokes through XTest, by keysym through the current keymap. A keystroke waits
// (on the clock's timers, never blocking) until it can land where it is meant to:
// - an application being activated is named by _NET_ACTIVE_WINDOW (at most kActivationWait, and
//   not once its window is destroyed);
// - no key is held any more, so that Alt and Super still held from the hot key do not mix into
//   the chord and the hot key's own grab has ended (at most kReleaseWait);
// - Return goes after the pasted text has been read: terminals take a paste asynchronously, by
//   asking this process for the selection, and a Return arriving first would run the line
//   without it, however late this process answers. So Return waits until the client the paste
//   went to has asked for the text (a request for its list of targets, or from another client
//   such as a clipboard manager, is no sign of that), then kReturnAfterRead since its last such
//   request (the terminal still has to insert what it read). A Return that follows no paste
//   that went, or whose paste was not read within kPasteReadWait, is dropped: alone it would run
//   whatever the line already held.
// Command+V becomes Ctrl+V, or Shift+Insert where `pastesLikeTerminal` holds for the active
// window when the keystroke goes: that chord pastes in terminals (from PRIMARY) and in editors.
class XTestKeyboard : public QObject {
    Q_OBJECT

public:
    static constexpr double kActivationWait = 1.0;
    static constexpr double kReleaseWait = 1.0;
    static constexpr double kReturnAfterRead = 0.1;
    static constexpr double kPasteReadWait = 3.0;
    static constexpr double kPollInterval = 0.005;

    XTestKeyboard(X11Session session, Clock& clock,
                  std::function<bool(xcb_window_t)> pastesLikeTerminal);
    ~XTestKeyboard() override;

    bool available() const;
    // False when XTest is missing or the keymap lacks the chord's keys.
    bool post(Keystroke keystroke);
    // The next keystrokes wait until `window` is active.
    void expectActivation(xcb_window_t window);
    // `requestor` asked for a selection this process holds, converted to `target`.
    void selectionRequested(xcb_window_t requestor, xcb_atom_t target);

private:
    struct Queued {
        Keystroke keystroke;
        double queuedAt;
    };

    // The paste a Return may follow: when it went, to which client, and when that client last
    // asked for the text since.
    struct Paste {
        double sentAt;
        std::uint32_t client;
        std::optional<double> readAt;
    };

    std::vector<xcb_keysym_t> chord(Keystroke keystroke, bool terminal) const;
    std::uint32_t clientOf(xcb_window_t window) const;
    bool orphanReturn(const Queued& queued) const;
    bool ready(const Queued& queued);
    bool anyKeyDown() const;
    bool send(Keystroke keystroke);
    void pump();

    X11Session session_;
    Clock& clock_;
    std::function<bool(xcb_window_t)> pastesLikeTerminal_;
    std::deque<Queued> queue_;
    std::unique_ptr<Timer> poll_;
    xcb_window_t awaitedWindow_ = XCB_WINDOW_NONE;
    double awaitedSince_ = 0;
    xcb_atom_t targetsAtom_;
    xcb_atom_t timestampAtom_;
    std::optional<Paste> paste_;  // the last paste that went, until a Return follows it
};

}  // namespace sonarel::x11
