#include "platform/x11/X11HotKeyService.h"

#include "platform/Logging.h"

#include "platform/x11/KeyCodes.h"
#include "platform/x11/XcbReply.h"

#include <QCoreApplication>
#include <QTimer>

#include <xcb/xcb_keysyms.h>

#include <algorithm>

namespace sonarel::x11 {

class X11HotKeyRegistration : public HotKeyRegistration {
public:
    X11HotKeyRegistration(X11HotKeyService& service, int serial)
        : service_(service), serial_(serial) {}
    ~X11HotKeyRegistration() override { service_.release(serial_); }

private:
    X11HotKeyService& service_;
    int serial_;
};

namespace {

constexpr xcb_keysym_t kNumLock = 0xff7f;

xcb_keycode_t keycodeOf(xcb_connection_t* connection, xcb_keysym_t keysym) {
    std::unique_ptr<xcb_key_symbols_t, decltype(&xcb_key_symbols_free)> symbols(
        xcb_key_symbols_alloc(connection), &xcb_key_symbols_free);
    ReplyPtr<xcb_keycode_t> found(
        symbols ? xcb_key_symbols_get_keycode(symbols.get(), keysym) : nullptr, &std::free);
    return found ? *found : XCB_NO_SYMBOL;
}

}  // namespace

std::unique_ptr<X11HotKeyService> X11HotKeyService::create() {
    std::optional<X11Session> session = X11Session::fromApplication();
    if (!session) {
        return nullptr;
    }
    return std::unique_ptr<X11HotKeyService>(new X11HotKeyService(*session));
}

X11HotKeyService::X11HotKeyService(X11Session session) : session_(session) {
    QCoreApplication::instance()->installNativeEventFilter(this);
}

X11HotKeyService::~X11HotKeyService() {
    if (QCoreApplication::instance()) {
        QCoreApplication::instance()->removeNativeEventFilter(this);
    }
}

void X11HotKeyService::installReleaseHandler(PressHandler handler) {
    releaseHandler_ = std::move(handler);
}

void X11HotKeyService::installHandler(PressHandler handler) {
    handler_ = std::move(handler);
}

// The combination with none, either or both of CapsLock and NumLock on, which would otherwise
// each make a different combination for the server.
std::vector<std::uint16_t> X11HotKeyService::lockVariants() const {
    std::uint16_t numLock = XCB_MOD_MASK_2;
    xcb_connection_t* connection = session_.connection();
    const xcb_keycode_t numLockCode = keycodeOf(connection, kNumLock);
    if (auto map =
            owned(xcb_get_modifier_mapping_reply, connection, xcb_get_modifier_mapping(connection));
        map && numLockCode != XCB_NO_SYMBOL) {
        const xcb_keycode_t* codes = xcb_get_modifier_mapping_keycodes(map.get());
        for (int modifier = 0; modifier < 8; ++modifier) {
            for (int i = 0; i < map->keycodes_per_modifier; ++i) {
                if (codes[modifier * map->keycodes_per_modifier + i] == numLockCode) {
                    numLock = static_cast<std::uint16_t>(1u << modifier);
                }
            }
        }
    }
    return {0, XCB_MOD_MASK_LOCK, numLock, static_cast<std::uint16_t>(XCB_MOD_MASK_LOCK | numLock)};
}

std::unique_ptr<HotKeyRegistration> X11HotKeyService::registerHotKey(std::uint32_t keyCode,
                                                                     Modifiers modifiers,
                                                                     const QString&, HotKeyID id) {
    const std::optional<xcb_keysym_t> keysym = keysymOfVirtualKey(keyCode);
    if (!keysym) {
        return nullptr;
    }
    Grab entry{nextSerial_++, *keysym, xModifiersOf(modifiers), id, XCB_NO_SYMBOL, {}};
    if (!grab(entry) || entry.keycode == XCB_NO_SYMBOL) {
        return nullptr;
    }
    grabs_.push_back(entry);
    return std::make_unique<X11HotKeyRegistration>(*this, entry.serial);
}

bool X11HotKeyService::grab(Grab& entry) {
    xcb_connection_t* connection = session_.connection();
    entry.keycode = keycodeOf(connection, entry.keysym);
    entry.variants = lockVariants();
    numLock_ = entry.variants[2];
    if (entry.keycode == XCB_NO_SYMBOL) {
        return true;
    }
    std::vector<xcb_void_cookie_t> cookies;
    for (std::uint16_t variant : entry.variants) {
        cookies.push_back(xcb_grab_key_checked(connection, 1, session_.root(),
                                               entry.modifiers | variant, entry.keycode,
                                               XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC));
    }
    bool refused = false;
    for (xcb_void_cookie_t cookie : cookies) {
        refused = errorOf(connection, cookie) != 0 || refused;
    }
    if (refused) {
        qCWarning(logDesktop) << "another client holds the shortcut's key" << entry.keycode;
        // Grabs of a combination another client holds fail one by one: release ours.
        ungrab(entry);
        entry.keycode = XCB_NO_SYMBOL;
    }
    return !refused;
}

void X11HotKeyService::ungrab(const Grab& entry) {
    if (entry.keycode == XCB_NO_SYMBOL) {
        return;
    }
    xcb_connection_t* connection = session_.connection();
    for (std::uint16_t variant : entry.variants) {
        xcb_ungrab_key(connection, entry.keycode, session_.root(), entry.modifiers | variant);
    }
    xcb_flush(connection);
}

void X11HotKeyService::release(int serial) {
    auto it = std::find_if(grabs_.begin(), grabs_.end(),
                           [&](const Grab& g) { return g.serial == serial; });
    if (it != grabs_.end()) {
        ungrab(*it);
        grabs_.erase(it);
    }
}

// The key that carries a keysym, or the NumLock modifier, may have moved.
void X11HotKeyService::keymapChanged() {
    for (Grab& entry : grabs_) {
        ungrab(entry);
        grab(entry);
    }
    down_.clear();
    pendingRelease_.reset();
}

void X11HotKeyService::settleRelease() {
    const PendingRelease done = *std::exchange(pendingRelease_, std::nullopt);
    down_.erase(done.keycode);
    if (releaseHandler_) {
        releaseHandler_(done.id);
    }
}

bool X11HotKeyService::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) {
    if (eventType != "xcb_generic_event_t") {
        return false;
    }
    const auto* event = static_cast<const xcb_generic_event_t*>(message);
    const std::uint8_t type = event->response_type & 0x7f;
    if (type == XCB_MAPPING_NOTIFY) {
        const auto* mapping = static_cast<const xcb_mapping_notify_event_t*>(message);
        if (mapping->request != XCB_MAPPING_POINTER && !grabs_.empty()) {
            keymapChanged();
        }
        return false;
    }
    if (type != XCB_KEY_PRESS && type != XCB_KEY_RELEASE) {
        return false;
    }
    const auto* key = static_cast<const xcb_key_press_event_t*>(message);
    if (key->event != session_.root()) {
        return false;
    }
    const std::uint16_t locks = XCB_MOD_MASK_LOCK | numLock_;
    const std::uint16_t state = key->state & ~locks & 0xff;
    auto match = std::find_if(grabs_.begin(), grabs_.end(), [&](const Grab& g) {
        return g.keycode == key->detail && (type == XCB_KEY_RELEASE || g.modifiers == state);
    });
    if (match == grabs_.end()) {
        return false;
    }
    if (type == XCB_KEY_RELEASE) {
        if (down_.contains(key->detail)) {
            if (pendingRelease_) {
                settleRelease();
            }
            pendingRelease_ = PendingRelease{key->detail, key->time, match->id};
            const int release = ++*releases_;
            QTimer::singleShot(kRepeatPairMs, [this, releases = std::weak_ptr(releases_), release] {
                const std::shared_ptr<int> current = releases.lock();
                if (current && *current == release && pendingRelease_) {
                    settleRelease();
                }
            });
        }
        return true;
    }
    if (pendingRelease_) {
        if (pendingRelease_->keycode == key->detail && pendingRelease_->time == key->time) {
            pendingRelease_.reset();  // an autorepeat: the key never went up
            return true;
        }
        settleRelease();
    }
    // A key held down repeats its press: one press, one action.
    if (down_.insert(key->detail).second && handler_) {
        const HotKeyID id = match->id;
        handler_(id);
    }
    return true;
}

}  // namespace sonarel::x11
