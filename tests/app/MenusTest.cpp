#include "app/Bandeja.h"
#include "app/MenuArchivo.h"
#include "app/VentanaPrincipal.h"

#include "ui/EntornoVentana.h"

#include <gtest/gtest.h>

#include <QMenu>
#include <QMenuBar>

namespace sonarel {
namespace {

class Menus : public ::testing::Test, public testing::EntornoVentana {
protected:
    Menus()
        : archivo(menuArchivo, motor, archivador, [this] { ++carpetasAbiertas; }),
          bandeja(motor, paster,
                  {[this] { ++atajos; }, [this] { ++ventanasAbiertas; },
                   [this] { ++carpetasAbiertas; }, [this] { ++salidas; }}) {}

    static QStringList textos(const QMenu& menu) {
        QStringList textos;
        for (QAction* accion : menu.actions()) {
            textos << (accion->isSeparator() ? QStringLiteral("—") : accion->text());
        }
        return textos;
    }
    QAction* enBandeja(const QString& texto) {
        return bandeja.menu().actions().value(textos(bandeja.menu()).indexOf(texto));
    }

    QMenu menuArchivo;
    MenuArchivo archivo;
    Bandeja bandeja;
    int atajos = 0;
    int ventanasAbiertas = 0;
    int carpetasAbiertas = 0;
    int salidas = 0;
};

TEST_F(Menus, CommandsThatNeedTextWaitForAnyTextEvenBlank) {
    EXPECT_TRUE(archivo.dictar()->isEnabled());
    EXPECT_FALSE(archivo.borrar()->isEnabled());
    EXPECT_TRUE(archivo.carpeta()->isEnabled());
    EXPECT_EQ(textos(bandeja.menu()),
              (QStringList{"Dictar  (Alt+Super+D)", "Copiar texto", "Enviar a la Terminal", "—",
                           "Abrir ventana", "Carpeta de dictados", "—", "Salir de Sonarel"}));
    for (QAction* accion : bandeja.menu().actions()) {
        const bool necesitaTexto =
            accion->text() == "Copiar texto" || accion->text() == "Enviar a la Terminal";
        EXPECT_EQ(accion->isEnabled(), !necesitaTexto) << accion->text().toStdString();
        EXPECT_TRUE(accion->shortcut().isEmpty());
    }

    // Blank text counts as text; cleared, nothing blank goes to the history.
    ponerTexto(QStringLiteral(" "));
    EXPECT_TRUE(archivo.borrar()->isEnabled());
    EXPECT_TRUE(enBandeja(QStringLiteral("Copiar texto"))->isEnabled());
    EXPECT_TRUE(enBandeja(QStringLiteral("Enviar a la Terminal"))->isEnabled());
    archivo.borrar()->trigger();
    EXPECT_EQ(motor.text(), "");
    EXPECT_EQ(historia(), "");
    EXPECT_FALSE(archivo.borrar()->isEnabled());
}

TEST_F(Menus, FileMenuTogglesTheEngineAndLabelsAndTrayIconFollowIt) {
    speech.holdAuthorization = true;
    archivo.dictar()->trigger();  // preparing counts as listening
    EXPECT_TRUE(motor.isListening());
    EXPECT_EQ(archivo.dictar()->text(), "Detener dictado");
    EXPECT_EQ(textos(bandeja.menu()).value(0), "Detener dictado");
    EXPECT_EQ(bandeja.simboloActual(), "mic.fill");
    archivo.dictar()->trigger();
    EXPECT_FALSE(motor.isListening());
    EXPECT_EQ(archivo.dictar()->text(), "Empezar a dictar");
    EXPECT_EQ(textos(bandeja.menu()).value(0), "Dictar  (Alt+Super+D)");
    EXPECT_EQ(bandeja.simboloActual(), "mic");

    ponerTexto(QStringLiteral("para la historia"));
    archivo.borrar()->trigger();
    EXPECT_EQ(historia(), "\n\n===== 2026-12-05 03:48:30 =====\npara la historia\n");
    EXPECT_EQ(motor.text(), "");

    archivo.carpeta()->trigger();
    EXPECT_EQ(carpetasAbiertas, 1);
}

TEST_F(Menus, TrayCommandsGoThroughTheirServices) {
    ponerTexto(QStringLiteral("uno\ndos"));
    enBandeja(QStringLiteral("Copiar texto"))->trigger();
    EXPECT_EQ(desktop.clipboard, "uno\ndos");

    // Sent without Return, whatever the preference says.
    preferencias.set(QString::fromLatin1(Preferences::kEnterEnTerminal), true);
    desktop.launch(200, QStringLiteral("XTerm"), QStringLiteral("XTerm"));
    enBandeja(QStringLiteral("Enviar a la Terminal"))->trigger();
    clock.advance(2);
    ASSERT_EQ(desktop.posted.size(), 1u);
    EXPECT_EQ(desktop.posted[0].keystroke.virtualKey, kVirtualKeyV);
    EXPECT_EQ(desktop.clipboard, "uno dos");

    enBandeja(QStringLiteral("Dictar  (Alt+Super+D)"))->trigger();
    enBandeja(QStringLiteral("Abrir ventana"))->trigger();
    enBandeja(QStringLiteral("Carpeta de dictados"))->trigger();
    enBandeja(QStringLiteral("Salir de Sonarel"))->trigger();
    EXPECT_EQ(atajos, 1);
    EXPECT_FALSE(motor.isListening());  // the tray's start goes through the shortcut's path
    EXPECT_EQ(ventanasAbiertas, 1);
    EXPECT_EQ(carpetasAbiertas, 1);
    EXPECT_EQ(salidas, 1);
}

TEST_F(Menus, TheMainWindowCarriesTheFileMenuAndItsSize) {
    int salir = 0;
    VentanaPrincipal ventana(
        motor, servicios(), [] {}, [&] { ++salir; });
    ventana.mostrar();
    EXPECT_EQ(ventana.centralWidget()->size(), QSize(720, 540));

    const QList<QAction*> menus = ventana.menuBar()->actions();
    ASSERT_EQ(menus.size(), 1);
    EXPECT_EQ(textos(*menus[0]->menu()),
              (QStringList{"Empezar a dictar", "Borrar texto", "Abrir carpeta de dictados", "—",
                           "Cerrar ventana", "Salir de Sonarel"}));
    menus[0]->menu()->actions().last()->trigger();
    EXPECT_EQ(salir, 1);

    // Closing only hides it; showing brings the same window back.
    ventana.close();
    EXPECT_FALSE(ventana.isVisible());
    ventana.mostrar();
    EXPECT_TRUE(ventana.isVisible());
}

}  // namespace
}  // namespace sonarel
