#include "TestAudio.h"

#include <QDir>
#include <QFile>
#include <QProcess>

#include <sndfile.h>

namespace sonarel::testing {

bool runTool(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.setStandardOutputFile(QProcess::nullDevice());
    process.start(program, arguments);
    return process.waitForFinished(60000) && process.exitStatus() == QProcess::NormalExit &&
           process.exitCode() == 0;
}

QString speechWav(const QString& dir, const QString& name, const QString& text) {
    const QString path = QDir(dir).filePath(name);
    if (!runTool(QStringLiteral("espeak-ng"),
                 {QStringLiteral("-v"), QStringLiteral("es"), QStringLiteral("-w"), path, text})) {
        return {};
    }
    return path;
}

Audio readAudio(const QString& path) {
    SF_INFO info{};
    SNDFILE* file = sf_open(QFile::encodeName(path).constData(), SFM_READ, &info);
    Audio audio;
    if (!file) {
        return audio;
    }
    audio.channels = info.channels;
    audio.rate = info.samplerate;
    audio.samples.resize(size_t(info.frames) * info.channels);
    audio.samples.resize(size_t(sf_readf_float(file, audio.samples.data(), info.frames)) *
                         info.channels);
    sf_close(file);
    return audio;
}

}  // namespace sonarel::testing
