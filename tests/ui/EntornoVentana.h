#pragma once

#include "control/Coordinador.h"
#include "control/Preferences.h"
#include "delivery/Paster.h"
#include "engine/SpeechEngine.h"
#include "history/Historial.h"
#include "platform/doubles/FakeClock.h"
#include "platform/doubles/FakeDesktop.h"
#include "platform/doubles/FakeHotKeyService.h"
#include "platform/doubles/FakePanelWindowing.h"
#include "platform/doubles/PushAudioInput.h"
#include "platform/doubles/RecordingSoundPlayer.h"
#include "platform/doubles/ScriptedSpeechService.h"
#include "support/EventLoop.h"
#include "ui/ContentView.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <vector>

namespace sonarel::testing {

// The engine, the services and a temporary home for one window test. The engine runs on the
// scripted recognizer and a pushed microphone; the history and the preferences live in the
// temporary home; the coordinator hands the preferences to the engine, as in the application.
struct EntornoVentana {
    EntornoVentana() {
        qputenv("XDG_DATA_HOME", QDir(home.path()).filePath(QStringLiteral("data")).toUtf8());
        clock.setDateTime(QDateTime(QDate(2026, 12, 5), QTime(3, 48, 30)));
        preferencias.registerDefaults(Preferences::valoresPorDefecto());
    }

    ContentView::Servicios servicios() {
        return {preferencias,
                paster,
                archivador,
                clock,
                [this] { coordinador.sincronizarPreferencias(); },
                [this](PanelAjustes panel) { panelesAbiertos.push_back(panel); },
                [this](const QString& propuesto) {
                    nombresPropuestos << propuesto;
                    return rutaElegida;
                }};
    }

    // Starts a dictation and waits until the engine listens.
    bool escuchar() {
        motor.start();
        return waitUntil([this] { return motor.status().kind() == Status::Kind::Listening; });
    }

    // Gives the engine a text, as an edit while it is idle does.
    void ponerTexto(const QString& texto) { motor.textBinding().set(texto); }

    QString historia() const {
        QFile file(historial.carpeta() + QStringLiteral("/dictados-2026-12.txt"));
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    }

    QTemporaryDir home;
    doubles::FakeClock clock;
    // The consent outlives the recognizer, whose worker may still be asking it for an answer.
    doubles::FakeMicrophoneConsent microphone;
    doubles::ScriptedSpeechService speech;
    doubles::PushAudioInput audio;
    doubles::RecordingSoundPlayer sonidos;
    SpeechEngine motor{{speech, audio, microphone, sonidos, clock}};
    Preferences preferencias{QDir(home.path()).filePath(QStringLiteral("Sonarel.conf"))};
    doubles::FakeDesktop desktop{clock};
    Paster paster{desktop, clock};
    Historial historial{clock};
    Archivador archivador{motor, historial};
    doubles::FakePanelWindowing paneles;
    HUDEstado hudEstado;
    HUD hud{motor, hudEstado, clock, paneles};
    doubles::FakeHotKeyService teclas;
    HotKey hotKey{teclas};
    Coordinador coordinador{{motor, preferencias, archivador, paster, hud, hotKey, desktop}};

    std::vector<PanelAjustes> panelesAbiertos;
    QStringList nombresPropuestos;
    QString rutaElegida;
};

}  // namespace sonarel::testing
