#pragma once

#include "control/Coordinador.h"

#include "platform/doubles/FakeClock.h"
#include "platform/doubles/FakeDesktop.h"
#include "platform/doubles/FakeHotKeyService.h"
#include "platform/doubles/FakePanelWindowing.h"
#include "platform/doubles/PushAudioInput.h"
#include "platform/doubles/RecordingSoundPlayer.h"
#include "platform/doubles/ScriptedSpeechService.h"
#include "support/EventLoop.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

// Shared by the coordinator's tests: a coordinator on test doubles, with a history in a home of
// its own.
namespace sonarel::coordinador_de_prueba {

using doubles::FakeApplication;
using testing::drainPosted;
using testing::waitUntil;

constexpr qint64 kPidPropio = 100;

// A user's home of its own, so that the history lands in a fresh folder.
struct HogarTemporal {
    HogarTemporal() { qputenv("XDG_DATA_HOME", dir.filePath("data").toUtf8()); }
    QTemporaryDir dir;
};

// Records, at each clipboard write and keystroke, what the history and the HUD showed then.
class DesktopQueAnota : public doubles::FakeDesktop {
public:
    DesktopQueAnota(const Clock& clock, const Historial& historial, const HUD& hud)
        : FakeDesktop(clock, kPidPropio), historial_(historial), hud_(hud) {}

    void setClipboardText(const QString& text) override {
        enHistorialAlCopiar = historia(historial_).contains(text);
        hudVisibleAlCopiar = hud_.panel() != nullptr && hud_.panel()->isVisible();
        FakeDesktop::setClipboardText(text);
    }

    static QString historia(const Historial& historial) {
        QFile archivo(historial.carpeta() + "/dictados-2026-03.txt");
        return archivo.open(QIODevice::ReadOnly) ? QString::fromUtf8(archivo.readAll()) : QString();
    }

    bool enHistorialAlCopiar = false;
    bool hudVisibleAlCopiar = false;

private:
    const Historial& historial_;
    const HUD& hud_;
};

class CoordinadorTest : public ::testing::Test {
protected:
    void SetUp() override {
        coordinador.configurar();
        editor->activate();  // becomes the previous application
    }

    // Presses Alt+Super+D and lets the posted action run, and a stop it makes end.
    void pulsarAtajo() {
        teclas.press(2, Modifier::Alt | Modifier::Super);
        drainPosted();
        esperarFinDeParada();
    }

    // The recognizer's final result comes from its own thread after a stop.
    void esperarFinDeParada() {
        ASSERT_TRUE(waitUntil([&] { return !motor.isStopping(); }));
    }

    void esperarEscucha() {
        ASSERT_TRUE(waitUntil([&] { return motor.status() == Status::listening(); }));
    }

    // The recognizer hears `texto`; the engine's whole text becomes `total` (by default the same).
    void oir(const QString& texto, QString total = {}) {
        if (total.isEmpty()) {
            total = texto;
        }
        speech.deliverToLatest(RecognitionResult{texto, false});
        ASSERT_TRUE(waitUntil([&] { return motor.text() == total; })) << motor.text().toStdString();
    }

    QString historia() const { return DesktopQueAnota::historia(historial); }

    bool hudVisible() const { return hud.panel() != nullptr && hud.panel()->isVisible(); }

    int tecleadas(int tecla) const {
        return static_cast<int>(
            std::count_if(desktop.posted.begin(), desktop.posted.end(),
                          [&](const auto& p) { return p.keystroke.virtualKey == tecla; }));
    }
    int pegados() const { return tecleadas(kVirtualKeyV); }
    int retornos() const { return tecleadas(kVirtualKeyReturn); }

    HogarTemporal hogar;
    doubles::FakeClock clock;
    // The consent outlives the speech service, whose thread may still be answering it.
    doubles::FakeMicrophoneConsent microfono;
    doubles::ScriptedSpeechService speech;
    doubles::PushAudioInput audio;
    doubles::RecordingSoundPlayer sonidos;
    SpeechEngine motor{{speech, audio, microfono, sonidos, clock}};
    Preferences preferencias{hogar.dir.filePath("Sonarel.conf")};
    Historial historial{clock};
    Archivador archivador{motor, historial};
    HUDEstado estado;
    doubles::FakePanelWindowing ventanas;
    HUD hud{motor, estado, clock, ventanas};
    DesktopQueAnota desktop{clock, historial, hud};
    Paster paster{desktop, clock};
    doubles::FakeHotKeyService teclas;
    HotKey hotKey{teclas};
    Coordinador coordinador{{motor, preferencias, archivador, paster, hud, hotKey, desktop}};

    std::shared_ptr<FakeApplication> propia = desktop.launch(kPidPropio, "org.sonarel.Sonarel");
    std::shared_ptr<FakeApplication> editor =
        desktop.launch(300, "org.gnome.TextEditor", "Editor de texto");
    std::shared_ptr<FakeApplication> xterm = desktop.launch(200, "XTerm", "xterm");
};

}  // namespace sonarel::coordinador_de_prueba
