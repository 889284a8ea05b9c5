#include "SoundServer.h"

#include "support/EventLoop.h"

#include <QFile>
#include <QProcessEnvironment>

#include <sys/prctl.h>

#include <csignal>

namespace sonarel::testing {

PrivateSoundServer::PrivateSoundServer() {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("PULSE_RUNTIME_PATH"), dir_.filePath(QStringLiteral("run")));
    environment.insert(QStringLiteral("PULSE_STATE_PATH"), dir_.filePath(QStringLiteral("state")));
    server_.setProcessEnvironment(environment);
    // Should the test die without cleaning up, its servers die with it.
    for (QProcess* process : {&server_, &listener_}) {
        process->setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGKILL); });
    }
    server_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    server_.setStandardOutputFile(QProcess::nullDevice());
    QFile file(dir_.filePath(QStringLiteral("server.pa")));
    if (file.open(QIODevice::WriteOnly)) {
        file.write(QStringLiteral("load-module module-native-protocol-unix socket=%1\n"
                                  "load-module module-null-sink sink_name=vsink rate=48000 "
                                  "channels=2\n"
                                  "load-module module-remap-source source_name=vmic "
                                  "master=vsink.monitor\n"
                                  "set-default-sink vsink\nset-default-source vmic\n")
                       .arg(dir_.filePath(QStringLiteral("native")))
                       .toUtf8());
    }
}

PrivateSoundServer::~PrivateSoundServer() {
    kill();
}

bool PrivateSoundServer::start() {
    server_.start(QStringLiteral("pulseaudio"),
                  {QStringLiteral("-n"), QStringLiteral("-F"),
                   dir_.filePath(QStringLiteral("server.pa")), QStringLiteral("--daemonize=no"),
                   QStringLiteral("--exit-idle-time=-1"), QStringLiteral("--use-pid-file=no"),
                   QStringLiteral("--log-level=error"), QStringLiteral("--log-target=stderr")});
    if (!server_.waitForStarted()) {
        return false;
    }
    const bool answers = waitUntil(
        [this] {
            return server_.state() == QProcess::Running &&
                   pactl(address(), {QStringLiteral("info")}).has_value();
        },
        10);
    return answers && keepSinkRendering();
}

// As on the test desktop: a quiet listener keeps the null sink rendering in 10 ms steps, as a
// real microphone captures, instead of up to 2 s ahead.
bool PrivateSoundServer::keepSinkRendering() {
    listener_.setStandardOutputFile(QProcess::nullDevice());
    listener_.start(
        QStringLiteral("parec"),
        {QStringLiteral("--server=") + address(), QStringLiteral("--device=vsink.monitor"),
         QStringLiteral("--latency-msec=10"), QStringLiteral("--raw")});
    const bool listening = waitUntil([this] {
        const std::optional<QString> outputs = pactl(
            address(),
            {QStringLiteral("list"), QStringLiteral("short"), QStringLiteral("source-outputs")});
        return outputs && !outputs->trimmed().isEmpty();
    });
    return listening &&
           pactl(address(),
                 {QStringLiteral("suspend-sink"), QStringLiteral("vsink"), QStringLiteral("1")}) &&
           pactl(address(),
                 {QStringLiteral("suspend-sink"), QStringLiteral("vsink"), QStringLiteral("0")});
}

void PrivateSoundServer::kill() {
    for (QProcess* process : {&server_, &listener_}) {
        if (process->state() != QProcess::NotRunning) {
            ::kill(static_cast<pid_t>(process->processId()), SIGKILL);
            process->waitForFinished();
        }
    }
}

QString PrivateSoundServer::address() const {
    return QStringLiteral("unix:") + dir_.filePath(QStringLiteral("native"));
}

std::optional<QString> pactl(const QString& server, const QStringList& arguments) {
    QProcess process;
    process.start(QStringLiteral("pactl"),
                  QStringList{QStringLiteral("--server=") + server} + arguments);
    if (!process.waitForFinished(5000) || process.exitStatus() != QProcess::NormalExit ||
        process.exitCode() != 0) {
        return std::nullopt;
    }
    return QString::fromUtf8(process.readAllStandardOutput());
}

std::unique_ptr<QProcess> playInto(const QString& file) {
    auto player = std::make_unique<QProcess>();
    player->setProcessChannelMode(QProcess::ForwardedChannels);
    player->start(QStringLiteral("paplay"), {QStringLiteral("--device=vsink"), file});
    player->waitForStarted();
    return player;
}

bool finishPlaying(QProcess& player) {
    return waitUntil([&player] { return player.state() == QProcess::NotRunning; }, 30) &&
           player.exitStatus() == QProcess::NormalExit && player.exitCode() == 0;
}

QString speak(const QString& dir, const QString& phrase) {
    static int made = 0;
    const QString file = dir + QStringLiteral("/voz-%1.wav").arg(++made);
    QProcess::execute(QStringLiteral("espeak-ng"), {QStringLiteral("-v"), QStringLiteral("es"),
                                                    QStringLiteral("-w"), file, phrase});
    return file;
}

}  // namespace sonarel::testing
