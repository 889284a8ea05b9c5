#include "ui/ContentView.h"

#include "ui/EntornoVentana.h"
#include "ui/EstadoChip.h"
#include "ui/Medidor.h"
#include "ui/TextosVentana.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <QTextEdit>
#include <QToolButton>

#include <sys/resource.h>

#include <algorithm>
#include <csignal>

namespace sonarel {
namespace {

using testing::EntornoVentana;

class Ventana : public ::testing::Test, public EntornoVentana {
protected:
    ContentView& abrir() {
        vista = std::make_unique<ContentView>(motor, servicios());
        vista->show();
        return *vista;
    }

    QList<QWidget*> acciones() const {
        return {vista->botonCopiar(), vista->botonTerminal(), vista->botonPegar(),
                vista->botonGuardar(), vista->botonBorrar()};
    }

    static QAction* en(const QMenu* menu, const QString& texto) {
        const QList<QAction*> todas = menu->actions();
        const auto it = std::find_if(todas.begin(), todas.end(),
                                     [&](const QAction* a) { return a->text() == texto; });
        return it == todas.end() ? nullptr : *it;
    }
    QAction* opcion(const QString& texto) const { return en(vista->menuOpciones(), texto); }
    QAction* silencio(const QString& texto) const {
        return en(opcion(QStringLiteral("Detener tras silencio"))->menu(), texto);
    }

    std::unique_ptr<ContentView> vista;
};

TEST_F(Ventana, ChipPickerButtonMeterAndCounterFollowTheDictation) {
    preferencias.set(QString::fromLatin1(Preferences::kSinConexion), false);
    ContentView& v = abrir();
    EXPECT_EQ(v.estadoChip()->texto(), "Listo");
    EXPECT_TRUE(v.selectorIdioma()->isEnabled());

    EXPECT_FALSE(v.medidor()->activo());

    speech.holdAuthorization = true;
    QTest::mouseClick(v.botonDictar(), Qt::LeftButton);
    EXPECT_EQ(v.estadoChip()->texto(), "Preparando…");
    EXPECT_EQ(v.marcador()->text(), "Habla…");
    EXPECT_FALSE(v.selectorIdioma()->isEnabled());

    speech.holdAuthorization = false;
    speech.answerAuthorizations();
    ASSERT_TRUE(testing::waitUntil([&] { return motor.status() == Status::listening(); }));
    EXPECT_EQ(v.estadoChip()->texto(), "Escuchando");
    EXPECT_FALSE(v.selectorIdioma()->isEnabled());
    EXPECT_EQ(v.botonDictar()->text(), "Detener");
    EXPECT_TRUE(v.medidor()->activo());
    clock.advance(61);
    EXPECT_EQ(v.contador()->text(), "01:01");

    speech.deliverToLatest(RecognitionResult{QStringLiteral("uno dos tres"), false});
    ASSERT_TRUE(testing::waitUntil([&] { return motor.text() == "uno dos tres"; }));
    EXPECT_EQ(v.editor()->toPlainText(), "uno dos tres");

    QTest::mouseClick(v.botonDictar(), Qt::LeftButton);
    ASSERT_TRUE(testing::waitUntil([&] { return !motor.isListening(); }));
    EXPECT_EQ(v.botonDictar()->text(), "Dictar");
    EXPECT_EQ(v.contador()->text(), "3 palabras");
    EXPECT_FALSE(v.medidor()->activo());

    speech.localesWithoutRecognizer << QStringLiteral("es-MX");
    motor.start();
    ASSERT_TRUE(testing::waitUntil([&] { return motor.status().isFailed(); }));
    EXPECT_EQ(v.estadoChip()->texto(), "Problema");
    EXPECT_TRUE(v.selectorIdioma()->isEnabled());
}

TEST_F(Ventana, ActionsAndPlaceholderDependOnTheTextBeingEmpty) {
    ContentView& v = abrir();
    for (QWidget* accion : acciones()) {
        EXPECT_FALSE(accion->isEnabled());
    }
    EXPECT_TRUE(v.botonDictar()->isEnabled());
    EXPECT_TRUE(v.marcador()->isVisibleTo(&v));
    // Drawn faint over the editor, not in the full text colour.
    const QImage marcador = v.marcador()->grab().toImage();
    int masOscuro = 255;
    for (int y = 0; y < marcador.height(); ++y) {
        for (int x = 0; x < marcador.width(); ++x) {
            masOscuro = std::min(masOscuro, qGray(marcador.pixel(x, y)));
        }
    }
    EXPECT_GT(masOscuro, 120);

    // Blanks are text: the placeholder goes and the actions work.
    ponerTexto(QStringLiteral("  "));
    EXPECT_FALSE(v.marcador()->isVisibleTo(&v));
    for (QWidget* accion : acciones()) {
        EXPECT_TRUE(accion->isEnabled());
    }
}

TEST_F(Ventana, EditsReachTheEngineOnlyWhileItIsNotListening) {
    ContentView& v = abrir();
    v.editor()->setPlainText(QStringLiteral("corregido a mano"));
    EXPECT_EQ(motor.text(), "corregido a mano");

    ASSERT_TRUE(escuchar());
    ASSERT_TRUE(motor.onDevice());
    EXPECT_EQ(v.estadoChip()->texto(), "Escuchando · sin conexión");
    v.editor()->setPlainText(QStringLiteral("perdido"));
    EXPECT_EQ(motor.text(), "corregido a mano");
    EXPECT_EQ(v.editor()->toPlainText(), "corregido a mano");
}

TEST_F(Ventana, ShortcutsActOnlyWhileTheirActionsAreEnabled) {
    ContentView& v = abrir();
    v.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&v));
    v.editor()->setFocus();

    QTest::keyClick(v.editor(), Qt::Key_Backspace, Qt::ControlModifier);
    QTest::keyClick(v.editor(), Qt::Key_T, Qt::ControlModifier);
    EXPECT_EQ(desktop.clipboardWrites, 0);

    ponerTexto(QStringLiteral("hola"));
    QTest::keyClick(v.editor(), Qt::Key_T, Qt::ControlModifier);
    EXPECT_EQ(desktop.clipboard, "hola");
    EXPECT_EQ(v.aviso(), kAvisoSinTerminal);

    QTest::keyClick(v.editor(), Qt::Key_Backspace, Qt::ControlModifier);
    EXPECT_EQ(motor.text(), "");
    EXPECT_FALSE(v.aviso());
    EXPECT_TRUE(historia().endsWith(" =====\nhola\n"));

    QTest::keyClick(v.editor(), Qt::Key_Return, Qt::ControlModifier);
    EXPECT_TRUE(motor.isListening());
    QTest::keyClick(v.editor(), Qt::Key_Return, Qt::ControlModifier);
    EXPECT_FALSE(motor.isListening());
}

TEST_F(Ventana, DeliveryFailuresSayWhatHappenedAndSuccessClearsTheNotice) {
    ContentView& v = abrir();
    ponerTexto(QStringLiteral("línea uno\nlínea dos"));
    EXPECT_EQ(v.botonPegar()->toolTip(), "Pega el texto en la app anterior");

    QTest::mouseClick(v.botonTerminal(), Qt::LeftButton);
    EXPECT_EQ(v.textoAviso()->text(), kAvisoSinTerminal);
    EXPECT_FALSE(v.enlaceAjustes()->isVisibleTo(&v));
    QTest::mouseClick(v.botonPegar(), Qt::LeftButton);
    EXPECT_EQ(v.aviso(), kAvisoSinAppAnterior);
    clock.advance(1);
    EXPECT_TRUE(desktop.posted.empty());

    auto xterm = desktop.launch(200, QStringLiteral("XTerm"), QStringLiteral("XTerm"));
    desktop.bringToFront(xterm);
    // The tooltips name the application in front when they are asked for.
    QHelpEvent consejo(QEvent::ToolTip, QPoint(2, 2), v.botonPegar()->mapToGlobal(QPoint(2, 2)));
    QCoreApplication::sendEvent(v.botonPegar(), &consejo);
    EXPECT_EQ(v.botonPegar()->toolTip(), "Pega el texto en XTerm");
    EXPECT_EQ(v.botonTerminal()->toolTip(),
              "Escribe el texto en el prompt de XTerm, sin ejecutarlo (Ctrl+T)");
    desktop.trusted = false;
    QTest::mouseClick(v.botonTerminal(), Qt::LeftButton);
    EXPECT_EQ(v.aviso(), kAvisoTerminalSinPermiso);
    EXPECT_EQ(desktop.clipboard, "línea uno línea dos");

    QTest::mouseClick(v.botonPegar(), Qt::LeftButton);
    EXPECT_EQ(v.aviso(), kAvisoPegarSinPermiso);

    // Copying leaves the notice as it was.
    QTest::mouseClick(v.botonCopiar(), Qt::LeftButton);
    EXPECT_EQ(desktop.clipboard, "línea uno\nlínea dos");
    EXPECT_EQ(v.aviso(), kAvisoPegarSinPermiso);

    desktop.trusted = true;
    preferencias.set(QString::fromLatin1(Preferences::kEnterEnTerminal), true);
    QTest::mouseClick(v.botonTerminal(), Qt::LeftButton);
    EXPECT_FALSE(v.aviso());
    EXPECT_FALSE(v.lineaAviso()->isVisibleTo(&v));
    clock.advance(1);
    ASSERT_EQ(desktop.posted.size(), 2u);  // the paste, then Return as the preference asks
    EXPECT_EQ(desktop.posted[1].keystroke.virtualKey, kVirtualKeyReturn);
}

TEST_F(Ventana, NoticeLineFollowsFailureWindowNoticeAndEngineNotice) {
    ContentView& v = abrir();
    EXPECT_FALSE(v.lineaAviso()->isVisibleTo(&v));
    ponerTexto(QStringLiteral("hola"));
    QTest::mouseClick(v.botonTerminal(), Qt::LeftButton);
    ASSERT_EQ(v.aviso(), kAvisoSinTerminal);

    speech.localesWithoutRecognizer << QStringLiteral("es-MX");
    motor.start();
    ASSERT_TRUE(testing::waitUntil([&] { return motor.status().isFailed(); }));
    EXPECT_EQ(v.textoAviso()->text(), motor.status().message());
    // A missing model points to where one is installed.
    EXPECT_TRUE(v.enlaceAjustes()->isVisibleTo(&v));

    // Once the failure is over, the window's own notice shows again.
    speech.localesWithoutRecognizer.clear();
    ASSERT_TRUE(escuchar());
    EXPECT_EQ(v.textoAviso()->text(), kAvisoSinTerminal);

    QTest::mouseClick(v.botonBorrar(), Qt::LeftButton);
    EXPECT_FALSE(v.aviso());
    EXPECT_EQ(v.lineaAviso()->isVisibleTo(&v), !motor.notice().isEmpty());
}

TEST_F(Ventana, OfflineNoticesCarryTheLinkWhichOpensTheModelManager) {
    ContentView& v = abrir();
    v.setAvisoAtajo(QStringLiteral("El atajo no funciona."));  // lasting, it gives way
    speech.onDeviceSupported = false;
    ASSERT_TRUE(escuchar());
    // With no on-device recognition the engine says so in its notice.
    if (!llevaEnlaceAjustes(motor.notice())) {
        GTEST_SKIP() << "the engine gave no offline notice: " << motor.notice().toStdString();
    }
    EXPECT_EQ(v.textoAviso()->text(), motor.notice());
    EXPECT_TRUE(v.lineaAviso()->isVisibleTo(&v));
    ASSERT_TRUE(v.enlaceAjustes()->isVisibleTo(&v));
    QTest::mouseClick(v.enlaceAjustes(), Qt::LeftButton);
    EXPECT_EQ(panelesAbiertos, std::vector<PanelAjustes>{PanelAjustes::Modelos});
}

TEST_F(Ventana, ClearSavesToTheHistoryFirstEvenWhileListening) {
    ContentView& v = abrir();
    ASSERT_TRUE(escuchar());
    speech.deliverToLatest(RecognitionResult{QStringLiteral("dicho en vivo"), false});
    ASSERT_TRUE(testing::waitUntil([&] { return motor.text() == "dicho en vivo"; }));
    QTest::mouseClick(v.botonBorrar(), Qt::LeftButton);
    EXPECT_EQ(historia(), "\n\n===== 2026-12-05 03:48:30 =====\ndicho en vivo\n");
    EXPECT_EQ(motor.text(), "");
}

TEST_F(Ventana, SaveProposesTheDatedNameWritesUtf8AndACancelWritesNothing) {
    ContentView& v = abrir();
    ponerTexto(QStringLiteral("Añoranza, señor: ¿qué tal?\nsegunda línea"));
    rutaElegida = QDir(home.path()).filePath(QStringLiteral("dictado.txt"));

    QTest::mouseClick(v.botonGuardar(), Qt::LeftButton);
    EXPECT_EQ(nombresPropuestos, QStringList{"Dictado 2026-12-05 03.48.txt"});
    QFile guardado(rutaElegida);
    ASSERT_TRUE(guardado.open(QIODevice::ReadOnly));
    EXPECT_EQ(guardado.readAll(),
              QStringLiteral("Añoranza, señor: ¿qué tal?\nsegunda línea").toUtf8());

    // Cancelled: nothing more is written.
    rutaElegida.clear();
    v.guardar();
    EXPECT_EQ(QDir(home.path()).entryList(QDir::Files), QStringList{"dictado.txt"});
}

TEST_F(Ventana, RefusedWriteLeavesTheOldFileWhole) {
    ContentView& v = abrir();
    rutaElegida = QDir(home.path()).filePath(QStringLiteral("viejo.txt"));
    {
        QFile viejo(rutaElegida);
        ASSERT_TRUE(viejo.open(QIODevice::WriteOnly));
        viejo.write("texto anterior\n");
    }
    ponerTexto(QString(64 * 1024, QLatin1Char('x')));

    // The file system refuses to grow any file past 4 KB: the save fails part way.
    rlimit antes{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &antes), 0);
    auto senal = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limite = antes;
    limite.rlim_cur = 4096;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limite), 0);
    v.guardar();
    setrlimit(RLIMIT_FSIZE, &antes);
    std::signal(SIGXFSZ, senal);

    QFile viejo(rutaElegida);
    ASSERT_TRUE(viejo.open(QIODevice::ReadOnly));
    EXPECT_EQ(viejo.readAll(), "texto anterior\n");
    EXPECT_EQ(QDir(home.path()).entryList(QDir::Files), QStringList{"viejo.txt"});
}

TEST_F(Ventana, StoredPreferencesShowAndReachTheEngineEvenOutsideTheChoices) {
    struct Caso {
        const char* idioma;
        double autoStop;
        const char* enSelector;
        const char* marcado;
    };
    for (const Caso caso :
         {Caso{"es-CO", 4, "Español (Colombia)", "4 segundos"}, Caso{"pt-BR", 3, "", nullptr}}) {
        SCOPED_TRACE(caso.idioma);
        preferencias.set(QString::fromLatin1(Preferences::kIdioma), QString(caso.idioma));
        preferencias.set(QString::fromLatin1(Preferences::kAutoStop), caso.autoStop);
        preferencias.set(QString::fromLatin1(Preferences::kPuntuacion), false);
        abrir();
        EXPECT_EQ(vista->selectorIdioma()->currentText(), caso.enSelector);
        for (const QString texto : {"Nunca", "2 segundos", "4 segundos", "8 segundos"}) {
            EXPECT_EQ(silencio(texto)->isChecked(), texto == caso.marcado) << texto.toStdString();
        }
        EXPECT_FALSE(opcion(QStringLiteral("Puntuación automática"))->isChecked());
        EXPECT_EQ(motor.localeID, caso.idioma);
        EXPECT_EQ(motor.autoStopSilence, caso.autoStop);
        EXPECT_FALSE(motor.addsPunctuation);
    }
}

TEST_F(Ventana, OptionsMenuItemsWriteThePreferenceAndOnlyEngineSettingsResynchronise) {
    ContentView& v = abrir();
    QStringList textos;
    for (QAction* accion : v.menuOpciones()->actions()) {
        textos << (accion->isSeparator() ? QStringLiteral("—") : accion->text());
    }
    EXPECT_EQ(textos, (QStringList{"Puntuación automática", "Preferir dictado sin conexión", "—",
                                   "Copiar al detener", "Pegar en la app anterior al detener",
                                   "Ejecutar al enviar a la Terminal (pulsa Enter)", "—",
                                   "Detener tras silencio", "—", "Activar dictado sin conexión…",
                                   "Permisos de micrófono…"}));
    opcion(QStringLiteral("Activar dictado sin conexión…"))->trigger();
    opcion(QStringLiteral("Permisos de micrófono…"))->trigger();
    EXPECT_EQ(panelesAbiertos,
              (std::vector<PanelAjustes>{PanelAjustes::Modelos, PanelAjustes::Microfono}));

    ASSERT_TRUE(escuchar());  // no item is disabled while dictating
    motor.localeID = QStringLiteral("centinela");
    EXPECT_TRUE(opcion(QStringLiteral("Copiar al detener"))->isChecked());
    opcion(QStringLiteral("Copiar al detener"))->trigger();
    EXPECT_FALSE(preferencias.copiarAlParar());
    EXPECT_EQ(motor.localeID, "centinela");

    opcion(QStringLiteral("Puntuación automática"))->trigger();
    EXPECT_FALSE(preferencias.puntuacion());
    EXPECT_FALSE(motor.addsPunctuation);
    EXPECT_EQ(motor.localeID, "es-MX");

    silencio(QStringLiteral("8 segundos"))->trigger();
    EXPECT_EQ(preferencias.autoStop(), 8);
    EXPECT_EQ(motor.autoStopSilence, 8);

    motor.stop();
    ASSERT_TRUE(testing::waitUntil([&] { return !motor.isListening(); }));
    v.selectorIdioma()->setCurrentIndex(2);
    emit v.selectorIdioma()->activated(2);
    EXPECT_EQ(preferencias.idioma(), "es-ES");
    EXPECT_EQ(motor.localeID, "es-ES");

    // A fresh store sees what the window wrote.
    Preferences otra(QDir(home.path()).filePath(QStringLiteral("Sonarel.conf")));
    EXPECT_EQ(otra.idioma(), "es-ES");
    EXPECT_EQ(otra.autoStop(), 8);
}

TEST_F(Ventana, PreferencesChangedElsewhereShowAndReachTheEngineWhenTheWindowComesToTheFront) {
    ContentView& v = abrir();
    ASSERT_EQ(motor.localeID, "es-MX");
    {
        Preferences otra(QDir(home.path()).filePath(QStringLiteral("Sonarel.conf")));
        otra.set(QString::fromLatin1(Preferences::kIdioma), QStringLiteral("es-CL"));
        otra.set(QString::fromLatin1(Preferences::kAutoStop), 2.0);
        otra.sync();
    }
    v.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&v));
    EXPECT_EQ(v.selectorIdioma()->currentText(), "Español (Chile)");
    EXPECT_TRUE(silencio(QStringLiteral("2 segundos"))->isChecked());
    EXPECT_EQ(motor.localeID, "es-CL");
    EXPECT_EQ(motor.autoStopSilence, 2);
}

}  // namespace
}  // namespace sonarel
