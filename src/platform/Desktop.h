#pragma once

#include "platform/Modifiers.h"

#include <QObject>
#include <QString>

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

namespace sonarel {

// Another process's application, as the desktop sees it. Handles are shared: holders keep it
// alive and may outlive the process it names.
class RunningApplication {
public:
    virtual ~RunningApplication() = default;
    virtual qint64 processIdentifier() const = 0;
    // The application's identifier (reverse-DNS where the application announces one).
    virtual std::optional<QString> applicationId() const = 0;
    virtual std::optional<QString> displayName() const = 0;
    virtual bool isTerminated() const = 0;
    // Whether it is an ordinary application: one showing a normal top-level window, not only
    // panels, docks or dialogs.
    virtual bool hasNormalWindow() const = 0;
    // Brings the application to the front; takes effect asynchronously.
    virtual void activate() = 0;
};

using Application = std::shared_ptr<RunningApplication>;

// A keystroke in the virtual key codes that the delivery logic speaks (keys by their place on the
// US layout: 9 is V, 36 is Return): the desktop maps it onto its own keyboard. Ctrl+V means
// "paste into the application that gets it", which a back end may send as Shift+Insert.
struct Keystroke {
    std::uint16_t virtualKey = 0;
    Modifiers modifiers;
};

inline constexpr std::uint16_t kVirtualKeyV = 9;
inline constexpr std::uint16_t kVirtualKeyReturn = 36;
inline constexpr Keystroke kPasteKeystroke{kVirtualKeyV, Modifier::Ctrl};
inline constexpr Keystroke kReturnKeystroke{kVirtualKeyReturn, {}};

// The desktop services that text delivery and the coordinator rely on: the workspace and its
// applications, the clipboard, the access needed for synthesised keystrokes, and the keystrokes.
// Everything is called, and `applicationActivated` emitted, on the main thread.
class Desktop : public QObject {
    Q_OBJECT

public:
    using QObject::QObject;

    // The application that receives key events, or none.
    virtual Application frontmostApplication() = 0;
    // All running applications, in the desktop's order.
    virtual std::vector<Application> runningApplications() = 0;
    // This process's own number and application identifier.
    virtual qint64 processIdentifier() const = 0;
    virtual std::optional<QString> applicationId() const = 0;
    // Whether one of this process's own windows that take the keyboard (the panel never does)
    // has the focus: this application is in front then, whatever the desktop reports.
    virtual bool ownWindowHasFocus() = 0;

    // Replaces the clipboard's contents with exactly `text`, as plain text.
    virtual void setClipboardText(const QString& text) = 0;

    // Whether synthesised keystrokes will be accepted (XTest on X11, a keyboard route on Wayland).
    virtual bool mayPostKeystrokes() = 0;
    // Asks the desktop for that access where it can be asked (the remote-desktop portal's
    // dialog); does not wait for an answer.
    virtual void requestKeystrokeAccess() = 0;

    // Posts the keystroke (key down, then key up) to whatever has the keyboard focus once it can
    // land there. Answers false when it cannot be posted at all.
    virtual bool postKeystroke(Keystroke keystroke) = 0;

signals:
    // After every activation of any application, this one included.
    void applicationActivated(const sonarel::Application& application);
};

}  // namespace sonarel
