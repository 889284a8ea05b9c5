#include "BenchDictation.h"

#include <QFile>

#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <random>

namespace sonarel::testing {

double percentile(std::vector<double> values, double p) {
    if (values.empty()) {
        return 0;
    }
    std::sort(values.begin(), values.end());
    return values[std::min(values.size() - 1, size_t(p * double(values.size() - 1) + 0.5))];
}

double residentMegabytes() {
    QFile status(QStringLiteral("/proc/self/status"));
    status.open(QIODevice::ReadOnly);
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:")) {
            return line.mid(6).trimmed().split(' ').first().toDouble() / 1024;
        }
    }
    return 0;
}

namespace {

const char* const kSentences[] = {
    "buenos días, quiero dictar una nota para la reunión de mañana",
    "el informe trimestral tiene que estar listo antes del viernes",
    "por favor, revisa los números de ventas de la región norte",
    "la próxima semana empezamos con el nuevo proyecto de diseño",
    "necesito que me envíes el contrato firmado lo antes posible",
    "hoy hace un día estupendo para salir a caminar por el parque",
    "recuerda comprar pan, leche y un poco de fruta fresca",
    "la conferencia se celebra en el auditorio principal a las diez",
};

}  // namespace

Dictation dictation(const QString& dir, double seconds) {
    std::vector<Audio> sentences;
    for (size_t i = 0; i < std::size(kSentences); ++i) {
        const QString wav = speechWav(dir, QStringLiteral("frase%1.wav").arg(i), kSentences[i]);
        const QString wide = dir + QStringLiteral("/frase%1-48k.wav").arg(i);
        runTool(QStringLiteral("sox"), {wav, "-r", "48000", "-c", "2", wide});
        sentences.push_back(readAudio(wide));
    }
    Dictation d;
    d.audio.channels = 2;
    d.audio.rate = 48000;
    std::mt19937 random(3);
    std::uniform_real_distribution<double> pause(0.4, 1.0);
    for (size_t i = 0; double(d.audio.samples.size()) / 2 / 48000 < seconds; ++i) {
        const double start = double(d.audio.samples.size()) / 2 / 48000;
        const Audio& s = sentences[i % sentences.size()];
        d.audio.samples.insert(d.audio.samples.end(), s.samples.begin(), s.samples.end());
        // espeak-ng ends each sentence with 0.3 s of silence: the speech is where the voice is.
        const auto loud = [](float x) { return std::abs(x) > 0.01f; };
        const auto first = std::find_if(s.samples.begin(), s.samples.end(), loud);
        const auto last = std::find_if(s.samples.rbegin(), s.samples.rend(), loud);
        d.speech.push_back({start + double(first - s.samples.begin()) / 2 / 48000,
                            start + double(s.samples.rend() - last) / 2 / 48000});
        d.audio.samples.resize(d.audio.samples.size() + size_t(pause(random) * 48000) * 2, 0.0f);
    }
    d.audio.samples.resize(size_t(seconds * 48000) * 2);
    return d;
}

bool writeWav(const QString& path, const Audio& audio) {
    SF_INFO info{};
    info.channels = audio.channels;
    info.samplerate = int(audio.rate);
    info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    SNDFILE* file = sf_open(QFile::encodeName(path).constData(), SFM_WRITE, &info);
    if (!file) {
        return false;
    }
    sf_writef_float(file, audio.samples.data(), sf_count_t(audio.samples.size() / audio.channels));
    sf_close(file);
    return true;
}

}  // namespace sonarel::testing
