#pragma once

#include "support/EventLoop.h"

#include <QProcess>
#include <QStringList>

namespace sonarel::testing {

// Keys through mutter's remote input, as another remote-desktop client sends them: one session
// for the whole test, so that its keyboard stays on the seat and the applications started meanwhile
// bind it at their start (a keyboard added later reaches an application only after its first key).
class EntradaMutter {
public:
    EntradaMutter() {
        proceso_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        proceso_.start(SONAREL_MUTTER_INPUT, {});
        proceso_.waitForStarted();
    }
    ~EntradaMutter() {
        proceso_.closeWriteChannel();
        if (!proceso_.waitForFinished(5000)) {
            proceso_.kill();
            proceso_.waitForFinished(3000);
        }
    }
    // Done in order; true once mutter took them all.
    bool teclas(const QStringList& acciones) {
        proceso_.write(acciones.join(' ').toUtf8() + '\n');
        QByteArray linea;
        waitUntil(
            [&] {
                proceso_.waitForReadyRead(10);
                if (proceso_.canReadLine()) {
                    linea = proceso_.readLine().trimmed();
                }
                return !linea.isEmpty() || proceso_.state() == QProcess::NotRunning;
            },
            30);
        return linea == "ok";
    }

private:
    QProcess proceso_;
};

}  // namespace sonarel::testing
