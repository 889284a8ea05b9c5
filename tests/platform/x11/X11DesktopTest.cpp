#include "DesktopFixture.h"

#include <QElapsedTimer>
#include <QLineEdit>
#include <QWidget>

namespace sonarel::testing {
namespace {

struct TerminalCase {
    const char* program;
    const char* identifier;
};

class TerminalTest : public DesktopFixture, public ::testing::WithParamInterface<TerminalCase> {};

// Each terminal announces the identifier the terminal set holds, and a send lands on its line:
// flattened, pasted with the terminals' chord, with Return.
TEST_P(TerminalTest, AnnouncesItsIdentifierAndTakesTheSendOnItsLine) {
    const QString program = QString::fromLatin1(GetParam().program);
    if (!installed(program)) {
        GTEST_SKIP() << program.toStdString() << " is not installed";
    }
    const QString out = outputPath(QStringLiteral("line"));
    QProcess& terminal = launchTerminal(program, out);
    ASSERT_TRUE(awaitFront(terminal));
    ASSERT_TRUE(waitUntil([&] { return QFile::exists(out); }));

    const Application front = desktop_->frontmostApplication();
    EXPECT_EQ(front->bundleIdentifier(), QString::fromLatin1(GetParam().identifier));
    EXPECT_TRUE(terminales().contains(front->bundleIdentifier().value_or(QString())));
    EXPECT_EQ(front->activationPolicy(), kRegularActivationPolicy);
    ASSERT_TRUE(paster_->ultimaTerminal());
    EXPECT_EQ(paster_->ultimaTerminal()->processIdentifier(), terminal.processId());

    EXPECT_TRUE(paster_->enviarATerminal(QStringLiteral("echo ñandú\ncon  tilde "), true));
    EXPECT_EQ(awaitContents(out, "echo ñandú con  tilde\n"), QByteArray("echo ñandú con  tilde\n"));
    EXPECT_EQ(selection("clipboard"), QByteArray("echo ñandú con  tilde"));
    EXPECT_EQ(selection("primary"), QByteArray("echo ñandú con  tilde"));
}

INSTANTIATE_TEST_SUITE_P(Terminals, TerminalTest,
                         ::testing::Values(TerminalCase{"xterm", "XTerm"},
                                           TerminalCase{"urxvt", "URxvt"},
                                           TerminalCase{"kitty", "kitty"}),
                         [](const auto& info) { return std::string(info.param.program); });

using X11DesktopTest = DesktopFixture;

TEST_F(X11DesktopTest, PasteIntoAFocusedTextFieldKeepsLinesAndNeverPressesReturn) {
    const QString out = outputPath(QStringLiteral("field"));
    QProcess& field = launchTextField(out);
    ASSERT_TRUE(awaitFront(field));
    const Application front = desktop_->frontmostApplication();
    EXPECT_EQ(front->bundleIdentifier(), QStringLiteral("campo"));
    EXPECT_EQ(front->localizedName(), QStringLiteral("campo"));

    EXPECT_TRUE(paster_->pegarEnFoco(QStringLiteral("Hola,\nqué tal"), true));
    EXPECT_EQ(awaitContents(out, "Hola,\nqué tal"), QByteArray("Hola,\nqué tal"));
    waitUntil([] { return false; }, 0.3);
    EXPECT_EQ(read(out), QByteArray("Hola,\nqué tal"));
    EXPECT_EQ(selection("clipboard"), QByteArray("Hola,\nqué tal"));
    EXPECT_EQ(selection("primary"), QByteArray("Hola,\nqué tal"));
}

TEST_F(X11DesktopTest, ActivationsFillThePreviousAppAndTheLastTerminal) {
    const QString line = outputPath(QStringLiteral("line"));
    const QString text = outputPath(QStringLiteral("field"));
    QProcess& xterm = launchTerminal(QStringLiteral("xterm"), line);
    ASSERT_TRUE(awaitFront(xterm));
    QProcess& field = launchTextField(text);
    ASSERT_TRUE(awaitFront(field));
    ASSERT_TRUE(paster_->appAnterior() && paster_->ultimaTerminal());
    EXPECT_EQ(paster_->appAnterior()->processIdentifier(), field.processId());
    EXPECT_EQ(paster_->ultimaTerminal()->processIdentifier(), xterm.processId());
    EXPECT_EQ(paster_->nombreAppAnterior(), QStringLiteral("campo"));
    EXPECT_EQ(paster_->nombreTerminal(), QStringLiteral("XTerm"));

    // This application's own window comes to the front: it never becomes the previous app.
    QWidget own;
    own.resize(200, 100);
    own.show();
    own.activateWindow();
    ASSERT_TRUE(waitUntil([&] {
        Application front = desktop_->frontmostApplication();
        return front && front->processIdentifier() == desktop_->processIdentifier();
    }));
    EXPECT_EQ(desktop_->frontmostApplication()->bundleIdentifier(), desktop_->bundleIdentifier());
    EXPECT_EQ(paster_->appAnterior()->processIdentifier(), field.processId());

    EXPECT_TRUE(paster_->pegarEnAppAnterior(QStringLiteral("de vuelta")));
    EXPECT_EQ(awaitContents(text, "de vuelta"), QByteArray("de vuelta"));

    EXPECT_TRUE(paster_->enviarATerminal(QStringLiteral("sin retorno")));
    EXPECT_EQ(awaitContents(line, "sin retorno"), QByteArray("sin retorno"));
    waitUntil([] { return false; }, 0.3);
    EXPECT_EQ(read(line), QByteArray("sin retorno"));

    const Application terminal = paster_->ultimaTerminal();
    EXPECT_FALSE(terminal->isTerminated());
    xterm.kill();
    xterm.waitForFinished(2000);
    EXPECT_TRUE(terminal->isTerminated());
    EXPECT_TRUE(waitUntil([&] { return paster_->terminalDestino() == nullptr; }))
        << "the previous app is no terminal, and no other runs";
}

// A previous application that has quit cannot come back: the paste goes to the focus on time.
TEST_F(X11DesktopTest, PasteForAPreviousAppThatQuitGoesToTheFocus) {
    QProcess& field = launchTextField(outputPath(QStringLiteral("field")));
    ASSERT_TRUE(awaitFront(field));
    QLineEdit own;
    own.show();
    own.activateWindow();
    ASSERT_TRUE(waitUntil([&] { return own.hasFocus(); }));
    field.kill();
    field.waitForFinished(2000);
    ASSERT_TRUE(waitUntil([&] { return paster_->appAnterior()->isTerminated(); }));

    QElapsedTimer elapsed;
    elapsed.start();
    EXPECT_TRUE(paster_->pegarEnAppAnterior(QStringLiteral("aquí")));
    EXPECT_TRUE(waitUntil([&] { return own.text() == QStringLiteral("aquí"); }));
    EXPECT_LT(elapsed.elapsed(), 700);
}

}  // namespace
}  // namespace sonarel::testing
