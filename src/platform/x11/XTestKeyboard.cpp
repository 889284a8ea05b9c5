#include "platform/x11/XTestKeyboard.h"

#include "platform/MainThread.h"
#include "platform/x11/MacKeys.h"
#include "platform/x11/XcbReply.h"

#include <QPointer>

#include <xcb/xcb_keysyms.h>
#include <xcb/xtest.h>

#include <algorithm>

namespace sonarel::x11 {
namespace {

constexpr xcb_keysym_t kShiftL = 0xffe1;
constexpr xcb_keysym_t kControlL = 0xffe3;
constexpr xcb_keysym_t kAltL = 0xffe9;
constexpr xcb_keysym_t kInsert = 0xff63;
constexpr xcb_keysym_t kV = 'v';

constexpr std::uint64_t kShiftFlag = 0x20000;
constexpr std::uint64_t kControlFlag = 0x40000;
constexpr std::uint64_t kOptionFlag = 0x80000;

bool isPaste(Keystroke k) {
    return k.virtualKey == kPasteKeystroke.virtualKey && k.flags == kPasteKeystroke.flags;
}

bool isReturn(Keystroke k) {
    return k.virtualKey == kReturnKeystroke.virtualKey;
}

// The keycodes of `keysyms` in the current keymap; empty when one is missing.
std::vector<xcb_keycode_t> keycodes(xcb_connection_t* connection,
                                    const std::vector<xcb_keysym_t>& keysyms) {
    std::unique_ptr<xcb_key_symbols_t, decltype(&xcb_key_symbols_free)> symbols(
        xcb_key_symbols_alloc(connection), &xcb_key_symbols_free);
    std::vector<xcb_keycode_t> codes;
    for (xcb_keysym_t keysym : keysyms) {
        ReplyPtr<xcb_keycode_t> found(
            symbols ? xcb_key_symbols_get_keycode(symbols.get(), keysym) : nullptr, &std::free);
        if (!found || *found == XCB_NO_SYMBOL) {
            return {};
        }
        codes.push_back(*found);
    }
    return codes;
}

}  // namespace

XTestKeyboard::XTestKeyboard(X11Session session, Clock& clock,
                             std::function<bool(xcb_window_t)> pastesLikeTerminal)
    : session_(std::move(session)),
      clock_(clock),
      pastesLikeTerminal_(std::move(pastesLikeTerminal)),
      targetsAtom_(session_.atom("TARGETS")),
      timestampAtom_(session_.atom("TIMESTAMP")) {}

XTestKeyboard::~XTestKeyboard() = default;

bool XTestKeyboard::available() const {
    const xcb_query_extension_reply_t* xtest =
        xcb_get_extension_data(session_.connection(), &xcb_test_id);
    return xtest && xtest->present;
}

std::vector<xcb_keysym_t> XTestKeyboard::chord(Keystroke keystroke, bool terminal) const {
    if (isPaste(keystroke)) {
        return terminal ? std::vector<xcb_keysym_t>{kShiftL, kInsert}
                        : std::vector<xcb_keysym_t>{kControlL, kV};
    }
    const std::optional<xcb_keysym_t> key = keysymOfVirtualKey(keystroke.virtualKey);
    if (!key) {
        return {};
    }
    // Command stands for Control in application shortcuts.
    std::vector<xcb_keysym_t> keysyms;
    if (keystroke.flags & (kCommandFlag | kControlFlag)) {
        keysyms.push_back(kControlL);
    }
    if (keystroke.flags & kShiftFlag) {
        keysyms.push_back(kShiftL);
    }
    if (keystroke.flags & kOptionFlag) {
        keysyms.push_back(kAltL);
    }
    keysyms.push_back(*key);
    return keysyms;
}

bool XTestKeyboard::post(Keystroke keystroke) {
    if (!available()) {
        return false;
    }
    const bool terminal = pastesLikeTerminal_ && pastesLikeTerminal_(session_.activeWindow());
    if (keycodes(session_.connection(), chord(keystroke, terminal)).empty()) {
        return false;
    }
    queue_.push_back({keystroke, clock_.now()});
    pump();
    if (!queue_.empty() && !poll_) {
        poll_ = clock_.every(kPollInterval, [this] { pump(); });
    }
    return true;
}

void XTestKeyboard::expectActivation(xcb_window_t window) {
    awaitedWindow_ = window;
    awaitedSince_ = clock_.now();
}

// The part of a resource id that names the client which created it.
std::uint32_t XTestKeyboard::clientOf(xcb_window_t window) const {
    return window & ~xcb_get_setup(session_.connection())->resource_id_mask;
}

void XTestKeyboard::selectionRequested(xcb_window_t requestor, xcb_atom_t target) {
    if (paste_ && target != targetsAtom_ && target != timestampAtom_ &&
        clientOf(requestor) == paste_->client) {
        paste_->readAt = clock_.now();
    }
}

bool XTestKeyboard::anyKeyDown() const {
    auto reply = owned(xcb_query_keymap_reply, session_.connection(),
                       xcb_query_keymap(session_.connection()));
    return reply && std::any_of(std::begin(reply->keys), std::end(reply->keys),
                                [](std::uint8_t bits) { return bits != 0; });
}

bool XTestKeyboard::orphanReturn(const Queued& queued) const {
    return isReturn(queued.keystroke) &&
           (!paste_ || (!paste_->readAt && clock_.now() - paste_->sentAt >= kPasteReadWait));
}

bool XTestKeyboard::ready(const Queued& queued) {
    const double now = clock_.now();
    if (awaitedWindow_ != XCB_WINDOW_NONE) {
        // A window destroyed meanwhile will never be activated.
        if (session_.activeWindow() != awaitedWindow_ && now - awaitedSince_ < kActivationWait &&
            session_.windowExists(awaitedWindow_)) {
            return false;
        }
        awaitedWindow_ = XCB_WINDOW_NONE;
    }
    if (isReturn(queued.keystroke) &&
        (!paste_->readAt || now - *paste_->readAt < kReturnAfterRead)) {
        return false;
    }
    return now - queued.queuedAt >= kReleaseWait || !anyKeyDown();
}

bool XTestKeyboard::send(Keystroke keystroke) {
    xcb_connection_t* connection = session_.connection();
    const xcb_window_t active = session_.activeWindow();
    const bool terminal = pastesLikeTerminal_ && pastesLikeTerminal_(active);
    const std::vector<xcb_keycode_t> codes = keycodes(connection, chord(keystroke, terminal));
    if (codes.empty()) {
        return false;
    }
    for (xcb_keycode_t code : codes) {
        xcb_test_fake_input(connection, XCB_KEY_PRESS, code, XCB_CURRENT_TIME, XCB_WINDOW_NONE, 0,
                            0, 0);
    }
    for (auto it = codes.rbegin(); it != codes.rend(); ++it) {
        xcb_test_fake_input(connection, XCB_KEY_RELEASE, *it, XCB_CURRENT_TIME, XCB_WINDOW_NONE, 0,
                            0, 0);
    }
    xcb_flush(connection);
    if (isPaste(keystroke)) {
        paste_ = Paste{clock_.now(), clientOf(active), std::nullopt};
    } else if (isReturn(keystroke)) {
        paste_.reset();
    }
    return true;
}

void XTestKeyboard::pump() {
    while (!queue_.empty()) {
        if (orphanReturn(queue_.front())) {
            queue_.pop_front();
            continue;
        }
        if (!ready(queue_.front())) {
            break;
        }
        const Keystroke keystroke = queue_.front().keystroke;
        queue_.pop_front();
        if (!send(keystroke) && isPaste(keystroke)) {
            paste_.reset();
        }
    }
    if (queue_.empty() && poll_) {
        // Not from inside the poll timer's own callback.
        postToMain([self = QPointer(this)] {
            if (self && self->queue_.empty()) {
                self->poll_.reset();
            }
        });
    }
}

}  // namespace sonarel::x11
