#include "DesktopFixture.h"

#include "control/HotKey.h"
#include "platform/x11/X11HotKeyService.h"

#include <xcb/xcb.h>
#include <xcb/xcb_keysyms.h>

namespace sonarel::testing {
namespace {

class HotKeyX11Test : public DesktopFixture {
protected:
    void SetUp() override {
        DesktopFixture::SetUp();
        service_ = x11::X11HotKeyService::create();
        ASSERT_TRUE(service_);
        hotKey_ = std::make_unique<HotKey>(*service_);
        hotKey_->action = [this] {
            Application front = desktop_->frontmostApplication();
            fronts_.push_back(front ? front->processIdentifier() : 0);
        };
    }

    void press(const QString& keys) { xdotool({QStringLiteral("key"), keys}); }

    std::unique_ptr<x11::X11HotKeyService> service_;
    std::unique_ptr<HotKey> hotKey_;
    std::vector<qint64> fronts_;
};

TEST_F(HotKeyX11Test, EachPressRunsTheActionOnceWhateverIsInFront) {
    hotKey_->registerHotKey();
    ASSERT_TRUE(hotKey_->isRegistered());
    const QString line = outputPath(QStringLiteral("line"));
    QProcess& xterm = launchTerminal(QStringLiteral("xterm"), line);
    ASSERT_TRUE(awaitFront(xterm));
    ASSERT_TRUE(waitUntil([&] { return QFile::exists(line); }));

    press(QStringLiteral("alt+super+d"));
    ASSERT_TRUE(waitUntil([&] { return fronts_.size() == 1; }));
    press(QStringLiteral("alt+super+d"));
    press(QStringLiteral("super+alt+d"));
    ASSERT_TRUE(waitUntil([&] { return fronts_.size() == 3; }));
    EXPECT_EQ(fronts_, std::vector<qint64>(3, xterm.processId()));

    // With CapsLock or NumLock on it is the same shortcut.
    press(QStringLiteral("Caps_Lock"));
    press(QStringLiteral("alt+super+d"));
    press(QStringLiteral("Caps_Lock"));
    press(QStringLiteral("Num_Lock"));
    press(QStringLiteral("alt+super+d"));
    press(QStringLiteral("Num_Lock"));
    EXPECT_TRUE(waitUntil([&] { return fronts_.size() == 5; }));

    // Other combinations of D still reach the terminal, the shortcut never does.
    press(QStringLiteral("d"));
    press(QStringLiteral("shift+d"));
    EXPECT_EQ(awaitContents(line, "dD"), QByteArray("dD"));
    EXPECT_EQ(fronts_.size(), 5u);

    hotKey_->unregister();
    press(QStringLiteral("alt+super+d"));
    waitUntil([] { return false; }, 0.3);
    EXPECT_EQ(fronts_.size(), 5u);
}

// Another client holding the combination makes the registration fail, and it is known.
TEST_F(HotKeyX11Test, ACombinationAnotherClientHoldsFails) {
    xcb_connection_t* other = xcb_connect(nullptr, nullptr);
    ASSERT_FALSE(xcb_connection_has_error(other));
    xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(other)).data->root;
    xcb_key_symbols_t* symbols = xcb_key_symbols_alloc(other);
    xcb_keycode_t* d = xcb_key_symbols_get_keycode(symbols, 'd');
    xcb_void_cookie_t grab = xcb_grab_key_checked(other, 1, root, XCB_MOD_MASK_1 | XCB_MOD_MASK_4,
                                                  *d, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC);
    ASSERT_EQ(xcb_request_check(other, grab), nullptr);

    hotKey_->registerHotKey();
    EXPECT_FALSE(hotKey_->isRegistered());

    xcb_ungrab_key(other, *d, root, XCB_MOD_MASK_1 | XCB_MOD_MASK_4);
    std::free(xcb_get_input_focus_reply(other, xcb_get_input_focus(other), nullptr));  // in effect
    std::free(d);
    xcb_key_symbols_free(symbols);
    xcb_disconnect(other);

    hotKey_->registerHotKey();
    EXPECT_TRUE(hotKey_->isRegistered());
    press(QStringLiteral("alt+super+d"));
    EXPECT_TRUE(waitUntil([&] { return fronts_.size() == 1; }));
}

// The second press ends a dictation and pastes at once, while the shortcut is still held: the
// paste waits for the keys to be released, so that it neither goes to the shortcut's own grab
// nor mixes Alt and Super into the chord.
TEST_F(HotKeyX11Test, APasteFromThePressWaitsUntilTheShortcutIsReleased) {
    const QString out = outputPath(QStringLiteral("field"));
    QProcess& field = launchTextField(out);
    ASSERT_TRUE(awaitFront(field));
    hotKey_->action = [this] { paster_->pegarEnFoco(QStringLiteral("al soltar")); };
    hotKey_->registerHotKey();

    xdotool({QStringLiteral("keydown"), QStringLiteral("alt+super+d")});
    waitUntil([] { return false; }, 0.4);
    EXPECT_EQ(read(out), QByteArray());
    xdotool({QStringLiteral("keyup"), QStringLiteral("d")});
    xdotool({QStringLiteral("keyup"), QStringLiteral("alt+super")});
    EXPECT_EQ(awaitContents(out, "al soltar"), QByteArray("al soltar"));
}

// Hold to talk hears the keys go up: one release per press, however long the key repeats, and
// whichever of the keys goes up first.
TEST_F(HotKeyX11Test, EachReleaseOfTheShortcutRunsItsReleaseActionOnce) {
    int soltadas = 0;
    hotKey_->alSoltar = [&] { ++soltadas; };
    hotKey_->registerHotKey();

    xdotool({QStringLiteral("keydown"), QStringLiteral("alt+super+d")});
    ASSERT_TRUE(waitUntil([&] { return fronts_.size() == 1; }));
    // Held past the keyboard's repeat delay (the server repeats it as releases and presses):
    // still one press, and no release yet.
    waitUntil([] { return false; }, 1.2);
    EXPECT_EQ(fronts_.size(), 1u);
    EXPECT_EQ(soltadas, 0);
    xdotool({QStringLiteral("keyup"), QStringLiteral("d")});
    xdotool({QStringLiteral("keyup"), QStringLiteral("alt+super")});
    ASSERT_TRUE(waitUntil([&] { return soltadas == 1; }));

    xdotool({QStringLiteral("keydown"), QStringLiteral("alt+super+d")});
    xdotool({QStringLiteral("keyup"), QStringLiteral("alt")});
    xdotool({QStringLiteral("keyup"), QStringLiteral("super+d")});
    ASSERT_TRUE(waitUntil([&] { return soltadas == 2; }));
    EXPECT_EQ(fronts_.size(), 2u);
}

}  // namespace
}  // namespace sonarel::testing
