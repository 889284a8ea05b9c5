// The application assembled on the doubles, as a user meets it at launch.
#include "app/Aplicacion.h"

#include "platform/doubles/FakeDesktop.h"
#include "platform/doubles/FakeHotKeyService.h"
#include "platform/doubles/FakePanelWindowing.h"
#include "platform/doubles/FakeSpeechModels.h"
#include "platform/doubles/PushAudioInput.h"
#include "platform/doubles/ScriptedSpeechService.h"
#include "ui/Pie.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QLabel>
#include <QTemporaryDir>

namespace sonarel {
namespace {

// Another program holds Alt+Super+D: the user is told where they look, naming the shortcut.
TEST(Aplicacion, AShortcutHeldElsewhereIsToldInTheWindowAndTheTray) {
    QTemporaryDir home;
    qputenv("XDG_CONFIG_HOME", QDir(home.path()).filePath("config").toUtf8());
    qputenv("XDG_DATA_HOME", QDir(home.path()).filePath("data").toUtf8());
    qputenv("XDG_STATE_HOME", QDir(home.path()).filePath("state").toUtf8());
    QtClock clock;
    ServiciosDeVoz voz;
    voz.microphone = std::make_unique<doubles::FakeMicrophoneConsent>();
    voz.audio = std::make_unique<doubles::PushAudioInput>();
    voz.speech = std::make_unique<doubles::ScriptedSpeechService>();
    voz.modelos = std::make_unique<doubles::FakeSpeechModels>();
    auto teclas = std::make_unique<doubles::FakeHotKeyService>();
    teclas->heldElsewhere.push_back({2, Modifier::Alt | Modifier::Super});
    ServiciosDeEscritorio escritorio;
    escritorio.desktop = std::make_unique<doubles::FakeDesktop>(clock);
    escritorio.hotKeys = std::move(teclas);
    escritorio.paneles = std::make_unique<doubles::FakePanelWindowing>();
    Aplicacion app(clock, voz, std::move(escritorio));
    app.iniciar(true, false);

    const QString aviso = app.ventana().contenido().pie().textoAviso()->text();
    EXPECT_EQ(aviso, Coordinador::avisoAtajoOcupado());
    EXPECT_TRUE(aviso.contains("⌥⌘D") && aviso.contains("Alt+Super+D"));
    EXPECT_TRUE(app.ventana().contenido().pie().lineaAviso()->isVisible());
    EXPECT_TRUE(app.bandeja().icono().toolTip().contains(aviso));
}

}  // namespace
}  // namespace sonarel
