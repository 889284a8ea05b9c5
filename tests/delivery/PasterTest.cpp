#include "delivery/Paster.h"
#include "delivery/Terminales.h"
#include "platform/doubles/FakeClock.h"
#include "platform/doubles/FakeDesktop.h"

#include <gtest/gtest.h>

namespace sonarel {
namespace {

class PasterTest : public ::testing::Test {
protected:
    // Posted keystrokes with their times relative to the test's start.
    std::vector<std::pair<std::uint16_t, double>> keys() const {
        std::vector<std::pair<std::uint16_t, double>> list;
        for (const auto& p : desktop_.posted) {
            list.emplace_back(p.keystroke.virtualKey, p.at - start_);
        }
        return list;
    }

    doubles::FakeClock clock_;
    const double start_ = clock_.now();
    doubles::FakeDesktop desktop_{clock_};
    std::shared_ptr<doubles::FakeApplication> xterm_ = desktop_.launch(201, "XTerm", "XTerm");
    std::shared_ptr<doubles::FakeApplication> editor_ =
        desktop_.launch(202, "org.gnome.TextEditor", "Editor de texto");
    std::shared_ptr<doubles::FakeApplication> kitty_ = desktop_.launch(203, "kitty", "kitty");
    std::shared_ptr<doubles::FakeApplication> self_ = desktop_.launch(100, "Sonarel", "Sonarel");
    Paster paster_{desktop_, clock_};
};

TEST(TerminalLine, FlattensLineBreaksAndTrimsSpaces) {
    EXPECT_EQ(lineaDeTerminal(QStringLiteral("uno\ndos ")), QStringLiteral("uno dos"));
    EXPECT_EQ(lineaDeTerminal(QStringLiteral("a\r\nb\r\nc")), QStringLiteral("a b c"));
    EXPECT_EQ(lineaDeTerminal(QStringLiteral("\t\u00a0 x\ry \u2003")), QStringLiteral("x\ry"));
    EXPECT_EQ(lineaDeTerminal(QStringLiteral(" \n \r\n ")), QString());
}

TEST_F(PasterTest, ActivationsTrackThePreviousAppAndTheLastTerminal) {
    EXPECT_EQ(paster_.nombreAppAnterior(), QStringLiteral("la app anterior"));
    desktop_.bringToFront(kitty_);
    desktop_.bringToFront(self_);
    EXPECT_EQ(paster_.appAnterior(), kitty_) << "this application is never its own previous";
    desktop_.bringToFront(editor_);
    EXPECT_EQ(paster_.appAnterior(), editor_);
    EXPECT_EQ(paster_.ultimaTerminal(), kitty_);
    EXPECT_EQ(paster_.nombreAppAnterior(), QStringLiteral("Editor de texto"));
    editor_->name.reset();
    EXPECT_EQ(paster_.nombreAppAnterior(), QStringLiteral("la app anterior"));
}

TEST_F(PasterTest, PasteIntoThePreviousAppActivatesItAndPastesLater) {
    desktop_.bringToFront(editor_);
    desktop_.bringToFront(self_);
    EXPECT_TRUE(paster_.pegarEnAppAnterior(QStringLiteral("hola\nmundo")));
    EXPECT_EQ(desktop_.clipboard, QStringLiteral("hola\nmundo"));
    EXPECT_EQ(desktop_.frontmost, editor_);
    clock_.advance(0.279);
    EXPECT_TRUE(desktop_.posted.empty());
    clock_.advance(0.01);
    ASSERT_EQ(desktop_.posted.size(), 1u);
    EXPECT_EQ(desktop_.posted[0].keystroke.flags, kCommandFlag);
    EXPECT_EQ(desktop_.posted[0].frontmost, QStringLiteral("org.gnome.TextEditor"));
}

// Without a previous application still running, a paste would land in whatever has the focus.
TEST_F(PasterTest, PasteForNoPreviousAppOrOneThatQuitSendsNothing) {
    desktop_.bringToFront(self_);
    EXPECT_FALSE(paster_.pegarEnAppAnterior(QStringLiteral("uno")));
    EXPECT_EQ(desktop_.clipboard, QStringLiteral("uno"));
    desktop_.bringToFront(editor_);
    desktop_.bringToFront(self_);
    editor_->terminated = true;
    EXPECT_FALSE(paster_.pegarEnAppAnterior(QStringLiteral("dos")));
    EXPECT_EQ(desktop_.clipboard, QStringLiteral("dos"));
    EXPECT_EQ(editor_->activations, 0);

    // Quitting between the activation and the paste.
    editor_->terminated = false;
    EXPECT_TRUE(paster_.pegarEnAppAnterior(QStringLiteral("tres")));
    editor_->terminated = true;
    clock_.advance(1);
    EXPECT_TRUE(desktop_.posted.empty());
    EXPECT_EQ(desktop_.trustPrompts, 0);
}

TEST_F(PasterTest, EmptyTextDoesNothingAtAll) {
    desktop_.clipboard = QStringLiteral("antes");
    EXPECT_TRUE(paster_.pegarEnAppAnterior(QString()));
    EXPECT_TRUE(paster_.pegarEnFoco(QString(), true));
    EXPECT_TRUE(paster_.enviarATerminal(QString(), true));
    clock_.advance(1);
    EXPECT_EQ(desktop_.clipboardWrites, 0);
    EXPECT_TRUE(desktop_.posted.empty());
}

TEST_F(PasterTest, WithoutPermissionTheTextWaitsOnTheClipboard) {
    desktop_.trusted = false;
    desktop_.bringToFront(xterm_);
    EXPECT_FALSE(paster_.pegarEnFoco(QStringLiteral("a\r\nb"), true));
    EXPECT_EQ(desktop_.clipboard, QStringLiteral("a b"));
    EXPECT_FALSE(paster_.pegarEnAppAnterior(QStringLiteral("c")));
    EXPECT_EQ(desktop_.clipboard, QStringLiteral("c"));
    EXPECT_EQ(desktop_.trustPrompts, 2);
    clock_.advance(1);
    EXPECT_TRUE(desktop_.posted.empty());
}

// A terminal takes one line and Return on request; an ordinary app keeps the line breaks and
// never gets Return.
TEST_F(PasterTest, PasteIntoTheFocusFlattensOnlyForTerminals) {
    desktop_.bringToFront(xterm_);
    EXPECT_TRUE(paster_.pegarEnFoco(QStringLiteral("uno\r\ndos\r\ntres"), true));
    EXPECT_EQ(desktop_.clipboard, QStringLiteral("uno dos tres"));
    clock_.advance(1);
    ASSERT_EQ(keys().size(), 2u);
    EXPECT_EQ(keys()[0].first, kVirtualKeyV);
    EXPECT_NEAR(keys()[0].second, 0.0, 1e-9);
    EXPECT_EQ(keys()[1].first, kVirtualKeyReturn);
    EXPECT_NEAR(keys()[1].second, 0.15, 1e-9);

    desktop_.posted.clear();
    EXPECT_TRUE(paster_.pegarEnFoco(QStringLiteral("sin retorno"), false));
    clock_.advance(1);
    EXPECT_EQ(keys().size(), 1u);

    desktop_.posted.clear();
    desktop_.bringToFront(editor_);
    EXPECT_TRUE(paster_.pegarEnFoco(QStringLiteral("uno\ndos "), true));
    EXPECT_EQ(desktop_.clipboard, QStringLiteral("uno\ndos "));
    clock_.advance(1);
    ASSERT_EQ(keys().size(), 1u);
    EXPECT_EQ(keys()[0].first, kVirtualKeyV);
}

TEST_F(PasterTest, AKeystrokeThatCannotBePostedIsAFailure) {
    desktop_.bringToFront(xterm_);
    desktop_.keystrokesFail = true;
    EXPECT_FALSE(paster_.pegarEnFoco(QStringLiteral("hola"), true));
    EXPECT_EQ(desktop_.clipboard, QStringLiteral("hola"));
    desktop_.keystrokesFail = false;
    clock_.advance(1);
    EXPECT_TRUE(desktop_.posted.empty()) << "no Return after a paste that did not go";
}

TEST_F(PasterTest, TheTargetTerminalIsTheLastOneThenThePreviousAppThenAnyRunning) {
    EXPECT_EQ(paster_.terminalDestino(), xterm_) << "first ordinary running terminal";
    xterm_->policy = 1;
    EXPECT_EQ(paster_.terminalDestino(), kitty_) << "a background agent is skipped";
    desktop_.bringToFront(kitty_);
    desktop_.bringToFront(editor_);
    xterm_->policy = kRegularActivationPolicy;
    EXPECT_EQ(paster_.terminalDestino(), kitty_);
    EXPECT_EQ(paster_.nombreTerminal(), QStringLiteral("kitty"));
    kitty_->terminated = true;
    EXPECT_EQ(paster_.terminalDestino(), xterm_);

    desktop_.running.clear();
    desktop_.bringToFront(xterm_);
    EXPECT_EQ(paster_.terminalDestino(), xterm_);
    xterm_->terminated = true;
    EXPECT_EQ(paster_.terminalDestino(), nullptr)
        << "neither the last terminal nor the previous app";
    EXPECT_EQ(paster_.nombreTerminal(), QStringLiteral("la terminal"));
}

TEST_F(PasterTest, SendToTerminalActivatesPastesAndReturns) {
    desktop_.bringToFront(editor_);
    EXPECT_TRUE(paster_.enviarATerminal(QStringLiteral("git status\n"), true));
    EXPECT_EQ(desktop_.clipboard, QStringLiteral("git status"));
    EXPECT_EQ(desktop_.frontmost, xterm_);
    clock_.advance(0.349);
    EXPECT_TRUE(desktop_.posted.empty());
    clock_.advance(1);
    ASSERT_EQ(keys().size(), 2u);
    EXPECT_EQ(desktop_.posted[0].frontmost, QStringLiteral("XTerm"));
    EXPECT_EQ(keys()[1].first, kVirtualKeyReturn);
    EXPECT_NEAR(keys()[1].second, 0.5, 1e-9);

    // A blank line never goes: with Return it would run what the prompt held.
    desktop_.posted.clear();
    desktop_.bringToFront(editor_);
    EXPECT_TRUE(paster_.enviarATerminal(QStringLiteral("  \n \r"), true));
    desktop_.bringToFront(xterm_);
    EXPECT_TRUE(paster_.pegarEnFoco(QStringLiteral("\r\n\t"), true));
    EXPECT_EQ(desktop_.clipboard, QStringLiteral("git status"));
    EXPECT_EQ(xterm_->activations, 1);

    // A terminal that quits before the paste gets nothing.
    EXPECT_TRUE(paster_.enviarATerminal(QStringLiteral("ls"), true));
    xterm_->terminated = true;
    clock_.advance(1);
    EXPECT_TRUE(desktop_.posted.empty());
}

TEST_F(PasterTest, NoTerminalMeansFalseWithTheLineOnTheClipboard) {
    desktop_.running = {editor_};
    EXPECT_FALSE(paster_.enviarATerminal(QStringLiteral("uno\ndos"), true));
    EXPECT_EQ(desktop_.clipboard, QStringLiteral("uno dos"));
    EXPECT_EQ(desktop_.trustPrompts, 0);
    desktop_.running = {xterm_};
    desktop_.trusted = false;
    EXPECT_FALSE(paster_.enviarATerminal(QStringLiteral("tres"), true));
    EXPECT_EQ(desktop_.trustPrompts, 1);
    EXPECT_EQ(xterm_->activations, 0);
}

}  // namespace
}  // namespace sonarel
