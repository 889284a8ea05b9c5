// The application assembled on the doubles, as a user meets it at launch.
#include "app/Aplicacion.h"

#include "app/AtajoDeGnome.h"
#include "platform/doubles/FakeDesktop.h"
#include "platform/doubles/FakeHotKeyService.h"
#include "platform/doubles/FakePanelWindowing.h"
#include "platform/doubles/FakeSpeechModels.h"
#include "platform/doubles/PushAudioInput.h"
#include "platform/doubles/RecordingSoundPlayer.h"
#include "platform/doubles/ScriptedSpeechService.h"
#include "ui/Cabecera.h"
#include "ui/DialogoAtajo.h"
#include "ui/Pie.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QDir>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

namespace sonarel {
namespace {

// The voice and desktop services on doubles; the user chose `elegida` (Alt+Super+D unless told),
// which the desktop's hot-key service reports held elsewhere when asked.
struct Montaje {
    explicit Montaje(std::function<void()> pedirPermiso = {}, Combinacion elegida = Combinacion()) {
        qputenv("XDG_CONFIG_HOME", QDir(home.path()).filePath("config").toUtf8());
        qputenv("XDG_DATA_HOME", QDir(home.path()).filePath("data").toUtf8());
        qputenv("XDG_STATE_HOME", QDir(home.path()).filePath("state").toUtf8());
        voz.microphone = std::make_unique<doubles::FakeMicrophoneConsent>();
        voz.audio = std::make_unique<doubles::PushAudioInput>();
        voz.sonidos = std::make_unique<doubles::RecordingSoundPlayer>();
        voz.speech = std::make_unique<doubles::ScriptedSpeechService>();
        voz.modelos = std::make_unique<doubles::FakeSpeechModels>();
        auto teclas = std::make_unique<doubles::FakeHotKeyService>();
        teclas->heldElsewhere.push_back({elegida.tecla, elegida.modificadores});
        ServiciosDeEscritorio escritorio;
        escritorio.desktop = std::make_unique<doubles::FakeDesktop>(clock);
        escritorio.hotKeys = std::move(teclas);
        escritorio.paneles = std::make_unique<doubles::FakePanelWindowing>();
        escritorio.pedirPermisoParaEscribir = std::move(pedirPermiso);
        app = std::make_unique<Aplicacion>(clock, voz, std::move(escritorio));
        app->preferencias().setAtajo(elegida);
    }

    QString aviso() const {
        return app->ventana().contenido().pie().lineaAviso()->isVisible()
                   ? app->ventana().contenido().pie().textoAviso()->text()
                   : QString();
    }
    QAction* accion(const QString& texto) const {
        for (QAction* accion : app->ventana().contenido().cabecera().menuOpciones()->actions()) {
            if (accion->text() == texto) {
                return accion;
            }
        }
        return nullptr;
    }

    QTemporaryDir home;
    QtClock clock;
    ServiciosDeVoz voz;
    std::unique_ptr<Aplicacion> app;
};

// Another program holds Alt+Super+D: the user is told where they look, naming the shortcut.
TEST(Aplicacion, AShortcutHeldElsewhereIsToldInTheWindowAndTheTray) {
    Montaje montaje;
    montaje.app->iniciar(true, false);
    const QString aviso = montaje.aviso();
    EXPECT_EQ(aviso, Coordinador::avisoAtajoOcupado());
    EXPECT_TRUE(aviso.contains("Alt+Super+D"));
    EXPECT_TRUE(montaje.app->bandeja().icono().toolTip().contains(aviso));
}

// GNOME before 48 reserves no shortcut for an application: the notice names that and its remedy
// (no tray there), and goes once the remedy worked, then and at later starts. All of it names the
// user's combination, which the remedy binds; another one chosen later is offered in its place.
TEST(Aplicacion, OnGnomeTheNoticeNamesItsOwnShortcutAndGoesOnceItIsThere) {
    QTemporaryDir ajustes;
    std::vector<std::pair<const char*, QByteArray>> antes;
    for (const char* variable : {"GSETTINGS_BACKEND", "XDG_CURRENT_DESKTOP"}) {
        antes.emplace_back(variable, qgetenv(variable));
    }
    qputenv("GSETTINGS_BACKEND", "keyfile");
    qputenv("XDG_CURRENT_DESKTOP", "GNOME");
    const Combinacion elegida{4, Modifier::Shift | Modifier::Super};
    {
        Montaje montaje({}, elegida);
        qputenv("XDG_CONFIG_HOME", ajustes.path().toUtf8());  // where gsettings keeps its file
        montaje.app->iniciar(true, false);
        EXPECT_EQ(montaje.aviso(), Aplicacion::avisoAtajoDeGnome("Shift+Super+H"));
        EXPECT_FALSE(montaje.aviso().contains("bandeja"));
        QAction* anadir = montaje.accion(Aplicacion::textoAtajoDeGnome("Shift+Super+H"));
        ASSERT_NE(anadir, nullptr);
        anadir->trigger();
        EXPECT_EQ(montaje.aviso(), "");
        EXPECT_EQ(montaje.app->hudEstado().mensaje(),
                  Aplicacion::avisoAtajoDeGnomeAnadido("Shift+Super+H"));
        EXPECT_TRUE(atajo_de_gnome::anadido(elegida));
    }
    Montaje otra({}, elegida);
    qputenv("XDG_CONFIG_HOME", ajustes.path().toUtf8());
    otra.app->iniciar(true, false);
    EXPECT_EQ(otra.aviso(), "");

    otra.app->mostrarPreferencias();
    otra.app->ventanaPreferencias().cambiarAtajo();
    auto* dialogo = otra.app->ventanaPreferencias().findChild<DialogoAtajo*>();
    ASSERT_NE(dialogo, nullptr);
    QTest::keyClick(&dialogo->combinacion(), Qt::Key_K, Qt::ControlModifier | Qt::AltModifier);
    dialogo->botonUsar().click();
    EXPECT_EQ(otra.accion(Aplicacion::textoAtajoDeGnome("Shift+Super+H")), nullptr);
    QAction* anadir = otra.accion(Aplicacion::textoAtajoDeGnome("Ctrl+Alt+K"));
    ASSERT_NE(anadir, nullptr);
    anadir->trigger();
    EXPECT_TRUE(atajo_de_gnome::anadido({40, Modifier::Ctrl | Modifier::Alt}));
    for (const auto& [variable, valor] : antes) {
        valor.isNull() ? qunsetenv(variable) : qputenv(variable, valor);
    }
}

// The desktop's permission dialog takes the focus: asked at a start with the window, after the
// dictation of a start by the shortcut, and from the options menu; never by a dictation.
TEST(Aplicacion, ThePermissionToTypeIsAskedAtStartOrAfterTheFirstDictationAndFromTheMenu) {
    int preguntas = 0;
    {
        Montaje montaje([&] { ++preguntas; });
        montaje.app->iniciar(true, false);
        EXPECT_EQ(preguntas, 1);
        QAction* permitir = montaje.accion(Aplicacion::textoPermitirEscribir());
        ASSERT_NE(permitir, nullptr);
        permitir->trigger();
        EXPECT_EQ(preguntas, 2);
    }
    preguntas = 0;
    Montaje porAtajo([&] { ++preguntas; });
    porAtajo.app->iniciar(false, false);
    EXPECT_EQ(preguntas, 0);
    emit porAtajo.app->motor().sessionEnded();
    EXPECT_EQ(preguntas, 1);
    emit porAtajo.app->motor().sessionEnded();
    EXPECT_EQ(preguntas, 1);
    EXPECT_EQ(Montaje().accion(Aplicacion::textoPermitirEscribir()), nullptr);  // X11: no dialog
}

}  // namespace
}  // namespace sonarel
