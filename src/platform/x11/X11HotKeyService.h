#pragma once

#include "platform/HotKeyService.h"
#include "platform/x11/X11Session.h"

#include <QAbstractNativeEventFilter>

#include <memory>
#include <optional>
#include <set>
#include <vector>

namespace sonarel::x11 {

// System-wide shortcuts as key grabs on the root window, on Qt's own connection. Each
// combination is grabbed with and without CapsLock and NumLock; its key's release is swallowed.
// A combination another client holds (BadAccess) is refused. Grabs follow the key's keysym when
// the keymap changes.
class X11HotKeyService : public HotKeyService, public QAbstractNativeEventFilter {
public:
    // None unless the application runs on X11.
    static std::unique_ptr<X11HotKeyService> create();
    ~X11HotKeyService() override;

    void installHandler(PressHandler handler) override;
    void installReleaseHandler(PressHandler handler) override;
    std::unique_ptr<HotKeyRegistration> registerHotKey(std::uint32_t keyCode, Modifiers modifiers,
                                                       const QString& label, HotKeyID id) override;

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

private:
    struct Grab {
        int serial;
        xcb_keysym_t keysym;
        std::uint16_t modifiers;
        HotKeyID id;
        xcb_keycode_t keycode = XCB_NO_SYMBOL;  // where the keysym is now; none when nowhere
        std::vector<std::uint16_t> variants;    // the lock combinations grabbed
    };

    explicit X11HotKeyService(X11Session session);
    friend class X11HotKeyRegistration;
    std::vector<std::uint16_t> lockVariants() const;
    // Grabs the keysym's current key; false when another client holds it.
    bool grab(Grab& grab);
    void ungrab(const Grab& grab);
    void release(int serial);
    void keymapChanged();
    // A key's release, once no autorepeat press came with it.
    void settleRelease();

    X11Session session_;
    PressHandler handler_;
    PressHandler releaseHandler_;
    std::vector<Grab> grabs_;
    int nextSerial_ = 1;
    std::uint16_t numLock_ = XCB_MOD_MASK_2;
    std::set<xcb_keycode_t> down_;  // grabbed keys pressed and not yet released
    // A key held down repeats as a release and a press with the same time; a release waits this
    // long for such a press before it counts.
    static constexpr int kRepeatPairMs = 50;
    struct PendingRelease {
        xcb_keycode_t keycode;
        xcb_timestamp_t time;
        HotKeyID id;
    };
    std::optional<PendingRelease> pendingRelease_;
    // Counts releases; the timers hold it weakly, so that none outlives the service.
    std::shared_ptr<int> releases_ = std::make_shared<int>(0);
};

}  // namespace sonarel::x11
