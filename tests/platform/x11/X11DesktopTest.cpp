#include "DesktopFixture.h"

#include "platform/x11/X11Session.h"
#include "platform/x11/XTestKeyboard.h"

#include <QAbstractNativeEventFilter>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QTimer>
#include <QWidget>

#include <xcb/xcb.h>

#include <cstring>

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
    EXPECT_EQ(front->applicationId(), QString::fromLatin1(GetParam().identifier));
    EXPECT_TRUE(terminales().contains(front->applicationId().value_or(QString())));
    EXPECT_TRUE(front->hasNormalWindow());
    ASSERT_TRUE(paster_->ultimaTerminal());
    EXPECT_EQ(paster_->ultimaTerminal()->processIdentifier(), terminal.processId());

    // A Return that follows no paste is never sent: it would run what the line held.
    EXPECT_TRUE(desktop_->postKeystroke(kReturnKeystroke));
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

// Holds back the first selection request from the client that made `window`, as this process's
// event loop does when it is busy, and lets it through to be answered `ms` later.
class LateAnswer : public QAbstractNativeEventFilter {
public:
    LateAnswer(const x11::X11Session& session, xcb_window_t window, int ms)
        : connection_(session.connection()), client_(clientOf(window)) {
        resend_.setSingleShot(true);
        resend_.setInterval(ms);
        QObject::connect(&resend_, &QTimer::timeout, [this] {
            // Sent to the owner, the request comes back marked as sent, and this filter lets it
            // pass.
            xcb_send_event(connection_, 0, held_.owner, XCB_EVENT_MASK_NO_EVENT, event_);
            xcb_flush(connection_);
        });
        QCoreApplication::instance()->installNativeEventFilter(this);
    }
    ~LateAnswer() override { QCoreApplication::instance()->removeNativeEventFilter(this); }

    bool holding() const { return resend_.isActive(); }

    bool nativeEventFilter(const QByteArray&, void* message, qintptr*) override {
        const auto* event = static_cast<const xcb_generic_event_t*>(message);
        const auto* request = static_cast<const xcb_selection_request_event_t*>(message);
        if (held_.owner != XCB_WINDOW_NONE || event->response_type != XCB_SELECTION_REQUEST ||
            clientOf(request->requestor) != client_) {
            return false;
        }
        held_ = *request;
        std::memcpy(event_, request, sizeof(held_));
        resend_.start();
        return true;
    }

private:
    std::uint32_t clientOf(xcb_window_t window) const {
        return window & ~xcb_get_setup(connection_)->resource_id_mask;
    }

    xcb_connection_t* connection_;
    std::uint32_t client_;
    xcb_selection_request_event_t held_{};
    char event_[32] = {};
    QTimer resend_;
};

// A terminal fetches the pasted text from this process, which may answer late; a Return that
// went first would run the line without the text. Another client reading the selection
// meanwhile, as a clipboard manager does, is no sign that the terminal has it.
TEST_F(X11DesktopTest, ReturnGoesOnlyOnceTheTerminalHasFetchedThePaste) {
    const QString line = outputPath(QStringLiteral("line"));
    QProcess& xterm = launchTerminal(QStringLiteral("xterm"), line);
    ASSERT_TRUE(awaitFront(xterm));
    ASSERT_TRUE(waitUntil([&] { return QFile::exists(line); }));
    const std::optional<x11::X11Session> session = x11::X11Session::fromApplication();
    LateAnswer late(*session, session->activeWindow(), 1500);

    EXPECT_TRUE(paster_->pegarEnFoco(QStringLiteral("ls -l"), true));
    ASSERT_TRUE(waitUntil([&] { return late.holding(); }));
    EXPECT_EQ(selection("primary"), QByteArray("ls -l"));
    EXPECT_EQ(awaitContents(line, "ls -l\n", 6), QByteArray("ls -l\n"));
}

TEST_F(X11DesktopTest, PasteIntoAFocusedTextFieldKeepsLinesAndNeverPressesReturn) {
    const QString out = outputPath(QStringLiteral("field"));
    QProcess& field = launchTextField(out);
    ASSERT_TRUE(awaitFront(field));
    const Application front = desktop_->frontmostApplication();
    EXPECT_EQ(front->applicationId(), QStringLiteral("campo"));
    EXPECT_EQ(front->displayName(), QStringLiteral("campo"));

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

    // This application's own window comes to the front: it never becomes the previous app. Qt
    // asks for that activation once it learns the window is mapped, which may be after the window
    // manager focused it: it must be done before the activation below, or it would undo it.
    QWidget own;
    own.resize(200, 100);
    own.show();
    own.activateWindow();
    ASSERT_TRUE(waitUntil([&] {
        Application front = desktop_->frontmostApplication();
        return own.isActiveWindow() && front &&
               front->processIdentifier() == desktop_->processIdentifier();
    }));
    EXPECT_EQ(desktop_->frontmostApplication()->applicationId(), desktop_->applicationId());
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

// The window manager lists a window for a moment after its client has quit: an activation asked
// of that application is nothing to wait for, so the next keystroke goes at once.
TEST_F(X11DesktopTest, AnAppThatQuitHoldsNoKeystrokeBack) {
    QProcess& field = launchTextField(outputPath(QStringLiteral("field")));
    ASSERT_TRUE(awaitFront(field));
    const Application gone = desktop_->frontmostApplication();
    QLineEdit own;
    own.show();
    own.activateWindow();
    ASSERT_TRUE(waitUntil([&] { return own.hasFocus(); }));
    field.kill();
    field.waitForFinished(2000);
    ASSERT_TRUE(gone->isTerminated());

    desktop_->setClipboardText(QStringLiteral("aquí"));
    QElapsedTimer elapsed;
    elapsed.start();
    gone->activate();
    EXPECT_TRUE(desktop_->postKeystroke(kPasteKeystroke));
    EXPECT_TRUE(waitUntil([&] { return own.text() == QStringLiteral("aquí"); }));
    // paste_bench's "activate a quit app" row: median 3 ms, at most 7 ms. Half the activation
    // wait is over 3x that with room for a loaded machine, and a keystroke held for the
    // activation would take twice as long.
    EXPECT_LT(elapsed.elapsed(), x11::XTestKeyboard::kActivationWait / 2 * 1000);
}

}  // namespace
}  // namespace sonarel::testing
