#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>
#include <optional>

namespace sonarel::testing {

// A sound server of the test's own, so that a test may kill it or take its microphone away
// without disturbing the test desktop's server. Like the desktop's, it has a null sink "vsink"
// and a virtual microphone "vmic", its default source, that hears what is played into the sink.
class PrivateSoundServer {
public:
    PrivateSoundServer();
    ~PrivateSoundServer();

    // Starts the server (again, after `kill`) and waits until it answers.
    bool start();
    // Kills the server at once (SIGKILL), as a crash would, and waits until it is gone.
    void kill();
    // What libpulse clients are given to reach this server.
    QString address() const;

private:
    bool keepSinkRendering();

    QTemporaryDir dir_;
    QProcess server_;
    QProcess listener_;
};

// `pactl` against `server`; answers its standard output, or nothing when it failed.
std::optional<QString> pactl(const QString& server, const QStringList& arguments);

// Plays `file` into the test desktop's "vsink" in real time, as a voice speaking into the
// virtual microphone.
std::unique_ptr<QProcess> playInto(const QString& file);

// Waits until the playing has ended; answers whether it ended well.
bool finishPlaying(QProcess& player);

// A WAV file of espeak-ng saying `phrase` in Spanish, made in `dir`.
QString speak(const QString& dir, const QString& phrase);

}  // namespace sonarel::testing
