// Runs 20 shortcut dictations into an xterm on the test desktop and prints how long the paste
// keystroke follows the second press of Alt+Super+D. The stop handler pastes at once (its only
// fixed delay, 0.15 s before Return, comes after the paste), so the figures are all overhead.
//   scripts/test-desktop build/release/bench/e2e/e2e_bench
//
// Both moments are read from the X server's own clock: the hot key's KeyPress reaches this
// process through its grab, and xterm answers the paste keystroke (Shift+Insert) by asking this
// process for the PRIMARY selection, stamped with that keystroke's time. The same two events
// are also timed on arrival here, to the microsecond.

#include "Montaje.h"

#include "platform/doubles/FakeSpeechModels.h"
#include "platform/doubles/ScriptedSpeechService.h"
#include "support/EventLoop.h"
#include "support/Xdotool.h"

#include <QAbstractEventDispatcher>
#include <QAbstractNativeEventFilter>
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <xcb/xcb.h>

#include <algorithm>
#include <cstdio>
#include <optional>
#include <vector>

namespace sonarel {
namespace {

using testing::waitUntil;

class Cronometro : public QAbstractNativeEventFilter {
public:
    Cronometro() { reloj_.start(); }

    bool nativeEventFilter(const QByteArray& tipo, void* mensaje, qintptr*) override {
        if (tipo != "xcb_generic_event_t") {
            return false;
        }
        const auto* evento = static_cast<const xcb_generic_event_t*>(mensaje);
        const int clase = evento->response_type & 0x7f;
        if (clase == XCB_KEY_PRESS) {
            pulsacion = static_cast<const xcb_key_press_event_t*>(mensaje)->time;
            pulsacionUs = reloj_.nsecsElapsed() / 1000;
        } else if (clase == XCB_KEY_RELEASE && pulsacion && !soltado) {
            soltado = static_cast<const xcb_key_release_event_t*>(mensaje)->time;
        } else if (clase == XCB_SELECTION_REQUEST && pulsacion && !peticion) {
            peticion = static_cast<const xcb_selection_request_event_t*>(mensaje)->time;
            peticionUs = reloj_.nsecsElapsed() / 1000;
        }
        return false;
    }

    void reiniciar() {
        pulsacion.reset();
        soltado.reset();
        peticion.reset();
    }

    std::optional<xcb_timestamp_t> pulsacion;
    std::optional<xcb_timestamp_t> soltado;
    std::optional<xcb_timestamp_t> peticion;
    qint64 pulsacionUs = 0;
    qint64 peticionUs = 0;

private:
    QElapsedTimer reloj_;
};

double percentil(std::vector<double> v, double p) {
    std::sort(v.begin(), v.end());
    return v[static_cast<size_t>(p * static_cast<double>(v.size() - 1) + 0.5)];
}

int correr() {
    constexpr int kDictados = 20;
    QTemporaryDir dir;
    auto reconocedor = std::make_unique<doubles::ScriptedSpeechService>();
    doubles::ScriptedSpeechService& speech = *reconocedor;
    testing::Montaje montaje(std::move(reconocedor), std::make_unique<doubles::FakeSpeechModels>(),
                             dir.path());
    Aplicacion& app = montaje.app;
    app.preferencias().set(Preferences::kEnterEnTerminal, true);
    if (!app.hotKey().isRegistered()) {
        std::fprintf(stderr, "Alt+Super+D is held by another client\n");
        return 1;
    }
    Cronometro cronometro;  // installed after the hot key's filter, so it sees presses first
    QAbstractEventDispatcher::instance()->installNativeEventFilter(&cronometro);

    const QString salida = dir.filePath("lineas.txt");
    testing::Xterm xterm(
        "bench-xterm", "80x12+40+40",
        {"-e", "sh", "-c", "while IFS= read -r l; do printf '%s\\n' \"$l\" >> \"$0\"; done",
         salida});

    std::vector<double> servidorMs;
    std::vector<double> procesoMs;
    std::vector<double> sostenidaMs;
    for (int i = 0; i < kDictados; ++i) {
        testing::xdotool({"key", "alt+super+d"});
        if (!waitUntil([&] { return app.motor().status() == Status::listening(); }, 10)) {
            std::fprintf(stderr, "dictation %d did not start\n", i);
            return 1;
        }
        const QString frase = QStringLiteral("dictado número %1").arg(i + 1);
        speech.deliverToLatest(RecognitionResult{frase, false});
        waitUntil([&] { return app.motor().text() == frase; });
        waitUntil([] { return false; }, 0.2);

        cronometro.reiniciar();
        // Without waiting for xdotool, so that the event loop is as free as when a person types.
        QProcess::startDetached("xdotool", {"key", "alt+super+d"});
        const bool llego = waitUntil(
            [&] {
                QFile archivo(salida);
                return cronometro.peticion && archivo.open(QIODevice::ReadOnly) &&
                       archivo.readAll().count('\n') == i + 1;
            },
            10);
        if (!llego || !cronometro.pulsacion || !cronometro.soltado) {
            std::fprintf(stderr, "dictation %d did not reach the xterm\n", i);
            return 1;
        }
        servidorMs.push_back(static_cast<double>(*cronometro.peticion - *cronometro.pulsacion));
        sostenidaMs.push_back(static_cast<double>(*cronometro.soltado - *cronometro.pulsacion));
        procesoMs.push_back(static_cast<double>(cronometro.peticionUs - cronometro.pulsacionUs) /
                            1000.0);
    }

    std::printf("second press of Alt+Super+D -> paste keystroke into xterm, %d dictations\n",
                kDictados);
    std::printf("  X server clock:   p50 %.0f ms   max %.0f ms\n", percentil(servidorMs, 0.5),
                *std::max_element(servidorMs.begin(), servidorMs.end()));
    std::printf("  on arrival here:  p50 %.2f ms   max %.2f ms\n", percentil(procesoMs, 0.5),
                *std::max_element(procesoMs.begin(), procesoMs.end()));
    // The chord waits until the hot key's keys are up, so that Alt and Super do not mix in.
    std::printf("  of which D held:  p50 %.0f ms   max %.0f ms (X server clock)\n",
                percentil(sostenidaMs, 0.5),
                *std::max_element(sostenidaMs.begin(), sostenidaMs.end()));
    return 0;
}

}  // namespace
}  // namespace sonarel

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    return sonarel::correr();
}
