// The shortcut workflow as a user meets it on GNOME 43 (scripts/test-gnome-desktop): the real
// binary through XWayland, the permission to type asked at its start in the portal's "Remote
// desktop" dialog (answered with the keyboard, as a user would), Alt+Super+D as a custom shortcut
// run by gsd-media-keys (`sonarel --alternar`), speech into the virtual microphone, the text into
// the application in front through the portal's remote desktop. Which application is in front
// comes from the accessibility bus: GNOME Terminal's line runs ("Enter" is on), GNOME Text
// Editor's text gets no line break, and Sonarel's own window gets nothing pasted.
#include "EscritorioGnome.h"

#include "delivery/Terminales.h"
#include "support/EventLoop.h"
#include "support/Lecturas.h"
#include "support/Xdotool.h"

#include <gtest/gtest.h>

namespace sonarel::testing {
namespace {

TEST_F(DictadoEnGnome, AfterTheGrantEveryDictationIsPastedTheFirstIncluded) {
    ASSERT_TRUE(arrancarYPermitir());

    // A native Wayland text field, in front; the keyboard reaches it.
    const QString salida = dir.filePath("campo.txt");
    QProcessEnvironment nativo = QProcessEnvironment::systemEnvironment();
    nativo.insert("QT_QPA_PLATFORM", "wayland");
    app.setProcessEnvironment(nativo);
    app.start(SONAREL_TEXTFIELD, {salida});
    ASSERT_TRUE(waitUntil(
        [&] {
            EXPECT_TRUE(teclas({"x"}));
            return leer(salida).contains('x');
        },
        20));
    ASSERT_TRUE(teclas({"ctrl+a", "BackSpace"}));
    ASSERT_TRUE(waitUntil([&] { return leer(salida).isEmpty(); }));

    const QString primero = dictar("Hola, esto llega por el atajo");
    ASSERT_FALSE(primero.isEmpty());
    EXPECT_TRUE(waitUntil([&] { return leer(salida) == primero; }, 10))
        << "first dictation: " << leer(salida).toStdString() << " / " << primero.toStdString();
    // The paste landed in the field: the HUD shown meanwhile never took the focus.
    EXPECT_EQ(portapapeles().toStdString(), primero.toStdString());

    const QString segundo = dictar("Y esto llega despues");
    ASSERT_FALSE(segundo.isEmpty());
    EXPECT_TRUE(waitUntil([&] { return leer(salida) == primero + segundo; }, 10))
        << "later dictation: " << leer(salida).toStdString();
    EXPECT_EQ(portapapeles().toStdString(), segundo.toStdString());
}

// GNOME Terminal takes the paste into its shell's line, and Return runs it: the shell's `read`
// ends only with the line.
TEST_F(DictadoEnGnome, TheDictationIntoGnomeTerminalRunsAsACommand) {
    ASSERT_TRUE(arrancarYPermitir());
    const QString prueba = dir.filePath("prueba.txt");
    const QString salida = dir.filePath("terminal.txt");
    // Lines come first to the test's probe that the terminal has the keyboard, until one holds
    // something; the next one is the command.
    abrirTerminal(
        "stty -echo; while IFS= read -r l; do printf %s \"$l\" >> \"$0\"; "
        "[ -n \"$l\" ] && break; done; IFS= read -r l; printf %s \"$l\" > \"$1\"",
        {prueba, salida});
    ASSERT_TRUE(waitUntil(
        [&] {
            return teclas({"x", "Return"}) &&
                   waitUntil([&] { return leer(prueba).contains('x'); }, 3);
        },
        30));
    const QString texto = dictar("Hola terminal");
    ASSERT_FALSE(texto.isEmpty());
    EXPECT_TRUE(waitUntil([&] { return leer(salida) == lineaDeTerminal(texto); }, 10))
        << leer(salida).toStdString() << " / " << texto.toStdString();
    EXPECT_EQ(portapapeles().toStdString(), lineaDeTerminal(texto).toStdString());
}

// GNOME Text Editor (GTK 4) is no terminal: the text, and no line break after it.
TEST_F(DictadoEnGnome, TheDictationIntoGnomeTextEditorEndsWithoutALineBreak) {
    ASSERT_TRUE(arrancarYPermitir());
    const QString nota = dir.filePath("nota.txt");
    QFile(nota).open(QIODevice::WriteOnly);
    app.start("gnome-text-editor", {nota});
    // Saved again until the file holds `texto` (the editor ends the file with a line break).
    const auto guarda = [&](const QString& texto) {
        return waitUntil(
            [&] {
                teclas({"ctrl+s"});
                return waitUntil([&] { return leer(nota) == texto + "\n"; }, 1);
            },
            20);
    };
    ASSERT_TRUE(waitUntil(
        [&] {
            return teclas({"x", "ctrl+s"}) &&
                   waitUntil([&] { return leer(nota).startsWith('x'); }, 3);
        },
        60));
    ASSERT_TRUE(teclas({"ctrl+a", "BackSpace"}));
    ASSERT_TRUE(waitUntil(
        [&] { return teclas({"ctrl+s"}) && waitUntil([&] { return leer(nota).isEmpty(); }, 1); },
        20));

    const QString texto = dictar("Hola editor");
    ASSERT_FALSE(texto.isEmpty());
    EXPECT_TRUE(guarda(texto)) << leer(nota).toStdString() << " / " << texto.toStdString();
    EXPECT_EQ(portapapeles().toStdString(), texto.toStdString());
}

// Started while Sonarel's own window has the focus, the dictation is for its editor: the text
// goes to the clipboard, and no key at all, neither into the window nor into the terminal
// behind it.
TEST_F(DictadoEnGnome, ADictationFromItsOwnWindowIsCopiedNotPasted) {
    ASSERT_TRUE(arrancarYPermitir());
    const QString salida = dir.filePath("terminal.txt");
    abrirTerminal("stty -icanon -echo; exec cat > \"$0\"", {salida});
    ASSERT_TRUE(waitUntil(
        [&] { return teclas({"x"}) && waitUntil([&] { return leer(salida).contains('x'); }, 3); },
        30));
    const QString tecleado = leer(salida);
    // Sonarel's window in front again, the one before the terminal.
    const auto sonarelDelante = [] {
        return xdotool({"getwindowfocus", "getwindowname"}) == "Sonarel" &&
               ventanasDe("gnome-terminal-server").activas == 0;
    };
    ASSERT_TRUE(waitUntil([&] { return teclas({"alt+Tab"}) && waitUntil(sonarelDelante, 3); }, 20));

    const int pegados = registro().count("portal keys sent");
    const QString texto = dictar("Hola, esto llega por el atajo");
    ASSERT_FALSE(texto.isEmpty());
    EXPECT_TRUE(waitUntil([&] { return portapapeles() == texto; }, 10));
    // A paste would follow the copy within the bridge's wait for the selection (1 s).
    EXPECT_FALSE(waitUntil([&] { return registro().count("portal keys sent") > pegados; }, 3));
    EXPECT_EQ(leer(salida).toStdString(), tecleado.toStdString());
}

}  // namespace
}  // namespace sonarel::testing
