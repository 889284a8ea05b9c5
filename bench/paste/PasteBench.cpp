// How long text delivery takes beyond its fixed delays: from the paste call until the text is in
// a real text field of another process. Run on an X11 desktop (scripts/test-desktop).
//   paste_bench [ROUNDS]
#include "delivery/Paster.h"
#include "delivery/Terminales.h"
#include "platform/QtClock.h"
#include "platform/x11/X11Desktop.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

namespace {

using namespace sonarel;

double monotonicSeconds() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// The other process: a text field that reports every change with the moment it happened.
int runField() {
    QLineEdit field;
    QObject::connect(&field, &QLineEdit::textChanged, [](const QString& text) {
        std::printf("%.6f %s\n", monotonicSeconds(), qPrintable(text));
        std::fflush(stdout);
    });
    field.resize(400, 40);
    field.show();
    return QApplication::exec();
}

bool waitUntil(const std::function<bool()>& done, double seconds) {
    QDeadlineTimer deadline(static_cast<qint64>(seconds * 1000));
    while (!done()) {
        if (deadline.hasExpired()) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::usleep(200);
    }
    return true;
}

// Waits for the field to report a text ending in `suffix`; answers when it changed.
double awaitField(QProcess& field, const QString& suffix) {
    QByteArray pending;
    double at = -1;
    waitUntil(
        [&] {
            pending += field.readAllStandardOutput();
            for (qsizetype nl; (nl = pending.indexOf('\n')) >= 0;) {
                const QString line = QString::fromUtf8(pending.left(nl));
                pending.remove(0, nl + 1);
                if (line.endsWith(suffix)) {
                    at = line.section(QLatin1Char(' '), 0, 0).toDouble();
                }
            }
            return at >= 0;
        },
        5);
    return at;
}

// Rounds whose text never arrived count as lost.
void report(const char* what, std::vector<double> ms, int rounds) {
    const int lost = rounds - static_cast<int>(ms.size());
    if (ms.empty()) {
        std::printf("%-48s all %d lost\n", what, rounds);
        return;
    }
    std::sort(ms.begin(), ms.end());
    const auto at = [&](double q) { return ms[static_cast<size_t>(q * (ms.size() - 1))]; };
    std::printf("%-48s n=%zu  median %6.2f ms  p90 %6.2f ms  max %6.2f ms  lost %d\n", what,
                ms.size(), at(0.5), at(0.9), ms.back(), lost);
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (app.arguments().value(1) == QLatin1String("--campo")) {
        return runField();
    }
    const int rounds = std::max(1, app.arguments().value(1, QStringLiteral("20")).toInt());

    QtClock clock;
    auto desktop =
        x11::X11Desktop::create(clock, [](const QString& id) { return terminales().contains(id); });
    if (!desktop) {
        std::fprintf(stderr, "paste_bench: needs an X11 desktop\n");
        return 1;
    }
    Paster paster(*desktop, clock);

    QProcess field;
    field.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--campo")});
    if (!waitUntil(
            [&] {
                const Application& previous = paster.appAnterior();
                return previous && previous->processIdentifier() == field.processId();
            },
            10)) {
        std::fprintf(stderr, "paste_bench: the text field never came to the front\n");
        return 1;
    }

    std::vector<double> callMs;
    std::vector<double> focusMs;
    for (int i = 0; i < rounds; ++i) {
        const QString word = QStringLiteral(" f%1").arg(i);
        const double start = monotonicSeconds();
        paster.pegarEnFoco(word);
        callMs.push_back((monotonicSeconds() - start) * 1000);
        const double landed = awaitField(field, word);
        if (landed >= 0) {
            focusMs.push_back((landed - start) * 1000);
        }
    }

    // This process's own window in front, the field being the previous application.
    // A newly mapped window takes the focus once the window manager has placed it: let it settle.
    QLineEdit own;
    own.show();
    waitUntil([] { return false; }, 0.3);
    std::vector<double> previousMs;
    for (int i = 0; i < rounds; ++i) {
        own.activateWindow();
        waitUntil(
            [&] {
                Application front = desktop->frontmostApplication();
                return front && front->processIdentifier() == desktop->processIdentifier();
            },
            5);
        const QString word = QStringLiteral(" a%1").arg(i);
        const double start = monotonicSeconds();
        paster.pegarEnAppAnterior(word);
        const double landed = awaitField(field, word);
        if (landed >= 0) {
            previousMs.push_back((landed - start - Paster::kPasteDelayAfterActivation) * 1000);
        }
    }

    // An application that quit while still listed, asked to activate: the paste that follows
    // goes at once to whatever has the focus, this process's own field.
    const int goneRounds = std::max(1, rounds / 4);
    std::vector<double> goneMs;
    for (int i = 0; i < goneRounds; ++i) {
        QProcess quitter;
        quitter.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--campo")});
        Application gone;
        waitUntil(
            [&] {
                gone = desktop->frontmostApplication();
                return gone && gone->processIdentifier() == quitter.processId();
            },
            10);
        own.activateWindow();
        waitUntil([&] { return own.hasFocus(); }, 5);
        quitter.kill();
        quitter.waitForFinished(2000);
        if (!gone || !gone->isTerminated() || !own.hasFocus()) {
            continue;
        }
        const QString word = QStringLiteral("q%1").arg(i);
        own.clear();
        desktop->setClipboardText(word);
        const double start = monotonicSeconds();
        gone->activate();
        desktop->postKeystroke(kPasteKeystroke);
        if (waitUntil([&] { return own.text() == word; }, 5)) {
            goneMs.push_back((monotonicSeconds() - start) * 1000);
        }
    }

    // An xterm whose shell writes each line it receives to a file; the field stays in front.
    QTemporaryDir dir;
    const QString linePath = dir.filePath(QStringLiteral("line"));
    QProcess xterm;
    xterm.start(QStringLiteral("xterm"),
                {QStringLiteral("-e"), QStringLiteral("sh"), QStringLiteral("-c"),
                 QStringLiteral("exec cat > '%1'").arg(linePath)});
    waitUntil([&] { return paster.ultimaTerminal() && QFile::exists(linePath); }, 10);
    const int terminalRounds = std::max(1, rounds / 3);
    std::vector<double> terminalMs;
    for (int i = 0; i < terminalRounds; ++i) {
        field.readAllStandardOutput();
        const QByteArray line = QStringLiteral("echo t%1\n").arg(i).toUtf8();
        const double start = monotonicSeconds();
        paster.enviarATerminal(QString::fromUtf8(line), true);
        double landed = -1;
        waitUntil(
            [&] {
                QFile file(linePath);
                if (file.open(QIODevice::ReadOnly) && file.readAll().endsWith(line)) {
                    landed = monotonicSeconds();
                }
                return landed >= 0;
            },
            5);
        if (landed >= 0) {
            terminalMs.push_back(
                (landed - start - Paster::kTerminalPasteDelay - Paster::kReturnDelay) * 1000);
        }
    }

    report("pegarEnFoco: call returns (keystroke posted)", callMs, rounds);
    report("pegarEnFoco: call to text in the field", focusMs, rounds);
    report("pegarEnAppAnterior: beyond 0.28 s, to the field", previousMs, rounds);
    report("enviarATerminal: beyond 0.5 s, to xterm's line", terminalMs, terminalRounds);
    report("activate a quit app, then paste: to own field", goneMs, goneRounds);
    for (QProcess* process : {&field, &xterm}) {
        process->kill();
        process->waitForFinished(2000);
    }
    return 0;
}
