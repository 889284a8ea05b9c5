// The last words before a stop: shortcut dictations into an xterm on the test desktop with the
// real recognizer (a generated model, base-shaped by default, 2 threads) hearing espeak-ng through
// the virtual microphone, and the second press of Alt+Super+D 0.3 s after the voice ends. Prints
// how much of the heard audio the delivered text leaves undecoded (and how much the last partial at
// the press left), and how long the paste keystroke follows the press.
//   scripts/test-desktop build/release/bench/e2e/drain_bench [dictations] [pace=T] [model=M]
//                                                            [partial=P] [late=S]
// model=M: the generated model, whisper "tiny", "base" (the default) or "small", or "parakeet"
// (v3 shapes, q4_0). partial=P: a second generated model for the partials (two passes), as
// "partial=base model=parakeet".
// pace=T ends every decoding after T tokens a second of audio, as real speech does (a random-
// weight model otherwise runs each decoding to its token cap). late=S makes the first dictation
// one whose model finishes loading S seconds after its stop (a cold start, a slow disk), shown
// on a row of its own.
//
// Both moments are read from the X server's own clock: the hot key's KeyPress reaches this
// process through its grab, and xterm answers the paste keystroke (Shift+Insert) by asking this
// process for the PRIMARY selection, stamped with that keystroke's time.

#include "BenchModels.h"
#include "Montaje.h"
#include "TestAudio.h"

#include "platform/whisper/RecognitionModel.h"
#include "platform/whisper/SleepingWaits.h"
#include "platform/whisper/WhisperSpeechModels.h"
#include "platform/whisper/WhisperSpeechService.h"
#include "support/EventLoop.h"
#include "support/Xdotool.h"

#include <QAbstractEventDispatcher>
#include <QAbstractNativeEventFilter>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <xcb/xcb.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace sonarel {
namespace {

using testing::waitUntil;

constexpr int kThreads = 2;
constexpr double kPressAfterVoice = 0.3;
constexpr double kModelRate = 16000;

class Cronometro : public QAbstractNativeEventFilter {
public:
    bool nativeEventFilter(const QByteArray& tipo, void* mensaje, qintptr*) override {
        if (tipo != "xcb_generic_event_t") {
            return false;
        }
        const auto* evento = static_cast<const xcb_generic_event_t*>(mensaje);
        const int clase = evento->response_type & 0x7f;
        if (clase == XCB_KEY_PRESS && !pulsacion) {
            pulsacion = static_cast<const xcb_key_press_event_t*>(mensaje)->time;
        } else if (clase == XCB_SELECTION_REQUEST && pulsacion && !peticion) {
            peticion = static_cast<const xcb_selection_request_event_t*>(mensaje)->time;
        }
        return false;
    }
    void reiniciar() {
        pulsacion.reset();
        peticion.reset();
    }
    std::optional<xcb_timestamp_t> pulsacion;
    std::optional<xcb_timestamp_t> peticion;
};

// What the recognizer delivered, with the audio each result covers, as it delivered it.
class Resultados {
public:
    void anotar(size_t cubiertas, const QString& texto) {
        std::lock_guard guard(lock_);
        todos_.push_back({cubiertas, texto});
    }
    void reiniciar() {
        std::lock_guard guard(lock_);
        todos_.clear();
    }
    // Seconds of the task's audio covered by the last result whose text is `texto` (0 when none
    // has it).
    double cubiertoPor(const QString& texto) const {
        std::lock_guard guard(lock_);
        double cubierto = 0;
        for (const auto& [cubiertas, t] : todos_) {
            if (t == texto) {
                cubierto = double(cubiertas) / kModelRate;
            }
        }
        return cubierto;
    }
    size_t cuantos() const {
        std::lock_guard guard(lock_);
        return todos_.size();
    }
    double cubiertoHasta(size_t n) const {
        std::lock_guard guard(lock_);
        return n == 0 ? 0 : double(todos_[n - 1].first) / kModelRate;
    }

private:
    mutable std::mutex lock_;
    std::vector<std::pair<size_t, QString>> todos_;
};

double percentil(std::vector<double> v, double p) {
    std::sort(v.begin(), v.end());
    return v[static_cast<size_t>(p * static_cast<double>(v.size() - 1) + 0.5)];
}

// Seconds from the start of the recording to the end of its last voiced 10 ms.
double finDeLaVoz(const testing::Audio& audio) {
    const size_t frame = size_t(audio.rate / 100) * size_t(audio.channels);
    double fin = 0;
    for (size_t at = 0; at + frame <= audio.samples.size(); at += frame) {
        double energia = 0;
        for (size_t i = at; i < at + frame; ++i) {
            energia += double(audio.samples[i]) * audio.samples[i];
        }
        if (std::sqrt(energia / double(frame)) > 0.01) {
            fin = double(at + frame) / audio.channels / audio.rate;
        }
    }
    return fin;
}

// Holds the model's load until the moment the benchmark names.
struct CargaRetenida {
    void liberarEn(std::chrono::steady_clock::time_point momento) {
        {
            std::lock_guard guard(lock);
            cuando = momento;
        }
        listo.notify_all();
    }
    void esperar() {
        std::unique_lock guard(lock);
        listo.wait(guard, [&] { return cuando.has_value(); });
        const auto momento = *cuando;
        guard.unlock();
        std::this_thread::sleep_until(momento);
    }
    std::mutex lock;
    std::condition_variable listo;
    std::optional<std::chrono::steady_clock::time_point> cuando;
};

int correr(int dictados, double ritmo, const QString& forma, const QString& formaParciales,
           double tardio) {
    QTemporaryDir dir;
    const QString modelos = dir.filePath("modelos");
    QDir().mkpath(modelos);
    const QString modelo = testing::modelFor(forma);
    if (modelo.isEmpty()) {
        std::fprintf(stderr, "could not write the %s-shaped model\n", qPrintable(forma));
        return 1;
    }
    QFile::link(modelo, modelos + "/" + QFileInfo(modelo).fileName());
    const QString parciales =
        formaParciales.isEmpty() ? QString() : testing::modelFor(formaParciales);
    if (!formaParciales.isEmpty() && parciales.isEmpty()) {
        std::fprintf(stderr, "could not write the %s-shaped model\n", qPrintable(formaParciales));
        return 1;
    }

    Resultados resultados;
    whisper::WhisperSpeechService::Options opciones{{modelos}, kThreads};
    CargaRetenida carga;
    if (tardio <= 0) {
        carga.liberarEn(std::chrono::steady_clock::now());
    }
    opciones.load = [ritmo, &carga](const QString& ruta, int hilos) {
        carga.esperar();
        auto modelo = whisper::loadRecognitionModel(ruta, hilos);
        if (modelo && ritmo > 0) {
            modelo->limitTokens(ritmo);
        }
        return modelo;
    };
    opciones.live.observe = [&](size_t cubiertas, double, bool, const QString& texto) {
        resultados.anotar(cubiertas, texto);
    };
    auto speech = std::make_unique<whisper::WhisperSpeechService>(opciones);
    // Its load is held until `carga` lets it go.
    speech->useModel(modelos + "/" + QFileInfo(modelo).fileName());
    speech->usePartialModel(parciales);
    auto modelosDeVoz = std::make_unique<whisper::WhisperSpeechModels>(*speech);
    testing::Montaje montaje(std::move(speech), std::move(modelosDeVoz), dir.path());
    Aplicacion& app = montaje.app;
    app.preferencias().set(Preferences::kEnterEnTerminal, true);
    if (!app.hotKey().isRegistered()) {
        std::fprintf(stderr, "Alt+Super+D is held by another client\n");
        return 1;
    }
    Cronometro cronometro;
    QAbstractEventDispatcher::instance()->installNativeEventFilter(&cronometro);

    const QString salida = dir.filePath("lineas.txt");
    testing::Xterm xterm(
        "drain-xterm", "80x12+40+40",
        {"-e", "sh", "-c", "while IFS= read -r l; do printf '%s\\n' \"$l\" >> \"$0\"; done",
         salida});
    const QString frase = testing::speechWav(
        dir.path(), "frase.wav",
        QStringLiteral("Mañana temprano revisamos el informe y lo mandamos a la oficina."));
    const testing::Audio audio = testing::readAudio(frase);
    const double voz = finDeLaVoz(audio);

    QString entregado;
    QObject::connect(&app.motor(), &SpeechEngine::sessionEnded,
                     [&] { entregado = app.motor().text(); });

    std::vector<double> pegadoMs, sinCubrir, sinCubrirParcial;
    for (int i = 0; i < dictados; ++i) {
        testing::xdotool({"key", "alt+super+d"});
        if (!waitUntil([&] { return app.motor().status() == Status::listening(); }, 30)) {
            std::fprintf(stderr, "dictation %d did not start\n", i);
            return 1;
        }
        // The task's audio starts about when listening does; the voice ends `voz` seconds into
        // the playback.
        QElapsedTimer escuchando;
        escuchando.start();
        resultados.reiniciar();
        entregado.clear();
        cronometro.reiniciar();
        auto reproductor = testing::reproducir(frase);
        const double finDeVozEnLaTarea = escuchando.nsecsElapsed() / 1e9 + voz;
        waitUntil(
            [&] { return escuchando.nsecsElapsed() / 1e9 >= finDeVozEnLaTarea + kPressAfterVoice; },
            60);
        const size_t alPulsar = resultados.cuantos();
        QProcess::startDetached("xdotool", {"key", "alt+super+d"});
        if (i == 0 && tardio > 0) {
            carga.liberarEn(std::chrono::steady_clock::now() +
                            std::chrono::milliseconds(static_cast<int>(tardio * 1000)));
        }
        const bool llego = waitUntil(
            [&] {
                QFile archivo(salida);
                return cronometro.peticion && archivo.open(QIODevice::ReadOnly) &&
                       archivo.readAll().count('\n') == i + 1;
            },
            30 + tardio);
        reproductor->waitForFinished(10000);
        if (!llego || !cronometro.pulsacion) {
            std::fprintf(stderr, "dictation %d did not reach the xterm\n", i);
            return 1;
        }
        waitUntil([&] { return !app.motor().isListening(); }, 10);
        pegadoMs.push_back(double(*cronometro.peticion - *cronometro.pulsacion));
        sinCubrir.push_back(std::max(0.0, finDeVozEnLaTarea - resultados.cubiertoPor(entregado)));
        sinCubrirParcial.push_back(
            std::max(0.0, finDeVozEnLaTarea - resultados.cubiertoHasta(alPulsar)));
    }

    if (tardio > 0) {
        std::printf(
            "first dictation, model ready %.1f s after its stop (the stop's bound is %.0f "
            "s):\n  voice not decoded in the delivered text: %.2f s   stop -> paste "
            "keystroke: %.0f ms\n",
            tardio, SpeechEngine::kFinishBound, sinCubrir.front(), pegadoMs.front());
        pegadoMs.erase(pegadoMs.begin());
        sinCubrir.erase(sinCubrir.begin());
        sinCubrirParcial.erase(sinCubrirParcial.begin());
        --dictados;
        if (dictados == 0) {
            return 0;
        }
    }
    std::printf(
        "%d dictations of %.2f s of voice, %s-shaped model%s, %d threads, stop %.1f s "
        "after the voice, %s\n",
        dictados, voz, qPrintable(forma),
        formaParciales.isEmpty()
            ? ""
            : qPrintable(QStringLiteral(" (partials %1-shaped)").arg(formaParciales)),
        kThreads, kPressAfterVoice,
        ritmo > 0 ? qPrintable(QStringLiteral("decoder limited to %1 tokens a second").arg(ritmo))
                  : "as the random model decodes");
    std::printf("  voice not decoded in the delivered text:   p50 %.2f s   max %.2f s\n",
                percentil(sinCubrir, 0.5), *std::max_element(sinCubrir.begin(), sinCubrir.end()));
    std::printf("  (the last partial at the press left:        p50 %.2f s   max %.2f s)\n",
                percentil(sinCubrirParcial, 0.5),
                *std::max_element(sinCubrirParcial.begin(), sinCubrirParcial.end()));
    std::printf(
        "  stop -> paste keystroke: p50 %.0f ms   p95 %.0f ms   max %.0f ms (X server "
        "clock)\n",
        percentil(pegadoMs, 0.5), percentil(pegadoMs, 0.95),
        *std::max_element(pegadoMs.begin(), pegadoMs.end()));
    return 0;
}

}  // namespace
}  // namespace sonarel

int main(int argc, char** argv) {
    sonarel::whisper::restartWithSleepingWaits(argv);
    QApplication app(argc, argv);
    int dictados = 10;
    double ritmo = 0;
    QString modelo = QStringLiteral("base");
    double tardio = 0;
    QString parciales;
    for (const QString& a : app.arguments().mid(1)) {
        if (a.startsWith("pace=")) {
            ritmo = a.mid(5).toDouble();
        } else if (a.startsWith("model=")) {
            modelo = a.mid(6);
        } else if (a.startsWith("partial=")) {
            parciales = a.mid(8);
        } else if (a.startsWith("late=")) {
            tardio = a.mid(5).toDouble();
        } else {
            dictados = a.toInt();
        }
    }
    return sonarel::correr(dictados, ritmo, modelo, parciales, tardio);
}
