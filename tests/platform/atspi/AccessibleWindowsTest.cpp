// The windows the accessibility bus tells on GNOME 43 (scripts/test-gnome-desktop): GNOME Terminal
// (GTK 3) and GNOME Text Editor (GTK 4), which of them is in front and under which id, as the
// desktop moves the focus; a list made after they started; a window gone with its application.
#include "platform/atspi/AccessibleWindows.h"
#include "support/EventLoop.h"

#include <gtest/gtest.h>

#include <QDBusConnection>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

namespace sonarel::atspi {
namespace {

using testing::waitUntil;

QString delante(const wayland::WindowList& lista) {
    const auto ventana = lista.focused();
    return ventana ? ventana->appId : QString();
}

// A program of the test desktop, stopped with the test.
struct Programa {
    Programa(const QString& programa, const QStringList& argumentos) {
        proceso.start(programa, argumentos);
        proceso.waitForStarted();
    }
    ~Programa() { parar(); }
    void parar() {
        proceso.terminate();
        if (!proceso.waitForFinished(5000)) {
            proceso.kill();
            proceso.waitForFinished(3000);
        }
    }
    QProcess proceso;
};

TEST(AccessibleWindows, TheWindowInFrontAndItsApplicationFollowTheDesktop) {
    // Keys as another remote-desktop client sends them: Escape closes the overview GNOME opens
    // at its start, and the session's keyboard stays on the seat for the applications to come.
    Programa entrada(SONAREL_MUTTER_INPUT, {});
    const auto teclas = [&](const QString& acciones) {
        entrada.proceso.write(acciones.toUtf8() + '\n');
        return waitUntil(
            [&] {
                return entrada.proceso.canReadLine() &&
                       entrada.proceso.readLine().trimmed() == "ok";
            },
            30);
    };
    ASSERT_TRUE(teclas("Escape"));

    const auto lista = AccessibleWindows::create(QDBusConnection::sessionBus());
    ASSERT_NE(lista, nullptr);
    QStringList activadas;
    QObject::connect(lista.get(), &wayland::WindowList::activated,
                     [&](const auto& ventana) { activadas << ventana->appId; });

    // Its shell runs until the test is over; the terminal server outlives this client.
    QTemporaryDir dir;
    const QString fin = dir.filePath("fin");
    Programa terminal("gnome-terminal", {"--wait", "--", "sh", "-c",
                                         "while [ ! -e \"$0\" ]; do sleep 0.1; done", fin});
    struct Final {
        ~Final() { QFile(ruta).open(QIODevice::WriteOnly); }
        QString ruta;
    } final{fin};
    ASSERT_TRUE(waitUntil([&] { return delante(*lista) == "org.gnome.Terminal"; }, 30));
    Programa editor("gnome-text-editor", {});
    ASSERT_TRUE(waitUntil([&] { return delante(*lista) == "org.gnome.TextEditor"; }, 30));
    EXPECT_EQ(activadas, (QStringList{"org.gnome.Terminal", "org.gnome.TextEditor"}));

    // Back to the terminal by the keyboard (its switcher, GNOME Shell's own, is no application).
    ASSERT_TRUE(teclas("alt+Tab"));
    ASSERT_TRUE(waitUntil([&] { return delante(*lista) == "org.gnome.Terminal"; }, 10));
    EXPECT_EQ(activadas,
              (QStringList{"org.gnome.Terminal", "org.gnome.TextEditor", "org.gnome.Terminal"}));

    // A list made now, with both applications running, finds them as they are.
    const auto despues = AccessibleWindows::create(QDBusConnection::sessionBus());
    ASSERT_TRUE(waitUntil([&] { return delante(*despues) == "org.gnome.Terminal"; }, 10));
    EXPECT_TRUE(waitUntil([&] { return despues->open().size() == 2; }, 10));
    EXPECT_EQ(lista->open().size(), 2u);

    // The editor gone: its window is closed for both lists.
    std::shared_ptr<const wayland::Toplevel> ventanaDelEditor;
    for (const auto& ventana : lista->open()) {
        if (ventana->appId == "org.gnome.TextEditor") {
            ventanaDelEditor = ventana;
        }
    }
    ASSERT_NE(ventanaDelEditor, nullptr);
    editor.parar();
    EXPECT_TRUE(waitUntil([&] { return ventanaDelEditor->closed; }, 10));
    EXPECT_TRUE(waitUntil([&] { return despues->open().size() == 1; }, 10));
    EXPECT_EQ(lista->open().size(), 1u);
    EXPECT_EQ(delante(*lista), "org.gnome.Terminal");

    // The terminal's shell ended: its window closes.
    const std::shared_ptr<const wayland::Toplevel> ventanaDeLaTerminal = lista->focused();
    QFile(fin).open(QIODevice::WriteOnly);
    EXPECT_TRUE(waitUntil([&] { return ventanaDeLaTerminal->closed; }, 10));
    EXPECT_TRUE(lista->open().empty());
}

}  // namespace
}  // namespace sonarel::atspi
