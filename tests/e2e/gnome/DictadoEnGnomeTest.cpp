// The shortcut workflow as a user meets it on GNOME 43 (scripts/test-gnome-desktop): the real
// binary through XWayland, the permission to type asked at its start in the portal's "Remote
// desktop" dialog (answered with the keyboard, as a user would), Alt+Super+D as a custom shortcut
// run by gsd-media-keys (`sonarel --alternar`), speech into the virtual microphone, the text into
// a native Wayland text field through the portal's remote desktop: the first dictation after the
// grant and a later one.
#include "gnome/EntradaMutter.h"
#include "support/EventLoop.h"
#include "support/Lecturas.h"
#include "support/Xdotool.h"

#include <gtest/gtest.h>

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDate>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

namespace sonarel {
namespace {

using testing::ejecutar;
using testing::grabaciones;
using testing::leer;
using testing::waitUntil;

QDBusConnection accesibilidad() {
    const QDBusMessage direccion =
        QDBusConnection::sessionBus().call(QDBusMessage::createMethodCall(
            "org.a11y.Bus", "/org/a11y/bus", "org.a11y.Bus", "GetAddress"));
    return QDBusConnection::connectToBus(direccion.arguments().value(0).toString(), "a11y");
}

// The objects an accessible object holds, as (bus name, path).
std::vector<std::pair<QString, QString>> hijos(QDBusConnection& a11y, const QString& app,
                                               const QString& ruta) {
    const QDBusMessage respuesta = a11y.call(
        QDBusMessage::createMethodCall(app, ruta, "org.a11y.atspi.Accessible", "GetChildren"));
    std::vector<std::pair<QString, QString>> lista;
    if (respuesta.type() != QDBusMessage::ReplyMessage) {
        return lista;
    }
    const QDBusArgument arreglo = respuesta.arguments().value(0).value<QDBusArgument>();
    arreglo.beginArray();
    while (!arreglo.atEnd()) {
        QString nombre;
        QDBusObjectPath hijo;
        arreglo.beginStructure();
        arreglo >> nombre >> hijo;
        arreglo.endStructure();
        lista.emplace_back(nombre, hijo.path());
    }
    arreglo.endArray();
    return lista;
}

struct Dialogos {
    int abiertos = 0;
    int activos = 0;  // the window the desktop gave the keyboard focus to
};

// The portal's GNOME back end's windows, as the accessibility bus lists them.
Dialogos dialogosDelPortal() {
    QDBusConnection a11y = accesibilidad();
    const QString raiz = "/org/a11y/atspi/accessible/root";
    Dialogos dialogos;
    for (const auto& [app, ruta] : hijos(a11y, "org.a11y.atspi.Registry", raiz)) {
        QDBusMessage get =
            QDBusMessage::createMethodCall(app, ruta, "org.freedesktop.DBus.Properties", "Get");
        get.setArguments({"org.a11y.atspi.Accessible", "Name"});
        if (a11y.call(get).arguments().value(0).value<QDBusVariant>().variant().toString() !=
            "xdg-desktop-portal-gnome") {
            continue;
        }
        for (const auto& [nombre, ventana] : hijos(a11y, app, ruta)) {
            ++dialogos.abiertos;
            const QDBusMessage estado = a11y.call(QDBusMessage::createMethodCall(
                nombre, ventana, "org.a11y.atspi.Accessible", "GetState"));
            const QDBusArgument bits = estado.arguments().value(0).value<QDBusArgument>();
            QList<uint> palabras;
            bits >> palabras;
            constexpr uint kActive = 1u << 1;  // ATSPI_STATE_ACTIVE
            if (!palabras.isEmpty() && (palabras[0] & kActive)) {
                ++dialogos.activos;
            }
        }
    }
    return dialogos;
}

// How many remote-desktop sessions mutter runs (this test's own input included).
int sesionesDeMutter() {
    const QDBusMessage respuesta =
        QDBusConnection::sessionBus().call(QDBusMessage::createMethodCall(
            "org.gnome.Mutter.RemoteDesktop", "/org/gnome/Mutter/RemoteDesktop/Session",
            "org.freedesktop.DBus.Introspectable", "Introspect"));
    return respuesta.arguments().value(0).toString().count("<node name=");
}

// Whether GNOME's overview (opened at its start) is showing.
bool vistaGeneral() {
    QDBusMessage get = QDBusMessage::createMethodCall("org.gnome.Shell", "/org/gnome/Shell",
                                                      "org.freedesktop.DBus.Properties", "Get");
    get.setArguments({"org.gnome.Shell", "OverviewActive"});
    return QDBusConnection::sessionBus()
        .call(get)
        .arguments()
        .value(0)
        .value<QDBusVariant>()
        .variant()
        .toBool();
}

class DictadoEnGnome : public ::testing::Test {
protected:
    DictadoEnGnome() {
        const QString modelos = dir.filePath("datos/Sonarel/modelos");
        QDir().mkpath(modelos);
        QFile::link(SONAREL_TEST_MODEL, modelos + "/ggml-tiny-test.bin");
        QDir().mkpath(dir.filePath("config/Sonarel"));
        QFile escritorio(dir.filePath("config/Sonarel/escritorio.conf"));
        escritorio.open(QIODevice::WriteOnly);
        escritorio.write("[General]\navisoAtajoMostrado=true\n");
        escritorio.close();
        // The command as "Añadir Alt+Super+D a los atajos de GNOME" binds it, in this test's
        // folders.
        QFile orden(dir.filePath("alternar.sh"));
        orden.open(QIODevice::WriteOnly);
        orden.write(QStringLiteral("exec env XDG_DATA_HOME=%1 XDG_CONFIG_HOME=%2 %3 --alternar\n")
                        .arg(dir.filePath("datos"), dir.filePath("config"), SONAREL_BINARY)
                        .toUtf8());
        orden.close();
        const QString ruta =
            "/org/gnome/settings-daemon/plugins/media-keys/custom-keybindings/"
            "sonarel/";
        const QString esquema =
            "org.gnome.settings-daemon.plugins.media-keys.custom-keybinding:" + ruta;
        ejecutar("gsettings", {"set", esquema, "name", "Sonarel"});
        ejecutar("gsettings", {"set", esquema, "command", "sh " + orden.fileName()});
        ejecutar("gsettings", {"set", esquema, "binding", "<Alt><Super>d"});
        ejecutar("gsettings", {"set", "org.gnome.settings-daemon.plugins.media-keys",
                               "custom-keybindings", "['" + ruta + "']"});
    }

    bool teclas(const QStringList& acciones) { return entrada.teclas(acciones); }

    ~DictadoEnGnome() override {
        for (QProcess* proceso : {&terminal, &campo, &sonarel}) {
            proceso->terminate();
            if (!proceso->waitForFinished(5000)) {
                proceso->kill();
                proceso->waitForFinished(3000);
            }
        }
        // The portal closes Sonarel's session only a while after it ended: the next test starts
        // on a desktop with no session of a Sonarel gone.
        waitUntil([] { return sesionesDeMutter() <= 1; }, 30);
    }

    // One dictation by the shortcut; the text the history got for it.
    QString dictar(const QString& frase) {
        const int antes = grabaciones();
        EXPECT_TRUE(teclas({"alt+super+d"}));
        if (!waitUntil([&] { return grabaciones() > antes; }, 60)) {
            ADD_FAILURE() << "no recording";
            return {};
        }
        const QString voz = dir.filePath("voz.wav");
        QProcess::execute("espeak-ng", {"-v", "es", "-w", voz, frase});
        QProcess::execute("paplay", {"--device=vsink", voz});
        const QString previo = leer(historial());
        EXPECT_TRUE(teclas({"alt+super+d"}));
        QString texto;
        waitUntil(
            [&] {
                const QString ahora = leer(historial());
                return ahora != previo &&
                       !(texto = ahora.section("=====\n", -1).trimmed()).isEmpty();
            },
            60);
        return texto;
    }

    QString historial() const {
        return dir.filePath("datos/Sonarel/dictados-" + QDate::currentDate().toString("yyyy-MM") +
                            ".txt");
    }

    // Started first: the seat has its keyboard before any application starts.
    testing::EntradaMutter entrada;
    QTemporaryDir dir;
    QProcess sonarel;
    QProcess campo;
    QProcess terminal;

    // Started as a user starts it: asked at once, in the desktop's dialog, whose switch "Allow
    // Remote Interaction" the user turns on before "Share", once the dialog has the focus.
    bool arrancarYPermitir() {
        // Escape closes the overview GNOME opens at its start; pressed at least once, it also
        // puts this session's keyboard on the seat (mutter adds it at its first key) before the
        // dialog opens.
        if (!waitUntil([&] { return teclas({"Escape"}) && !vistaGeneral(); }, 30)) {
            ADD_FAILURE() << "the overview stays open";
            return false;
        }
        QProcessEnvironment entorno = QProcessEnvironment::systemEnvironment();
        entorno.insert("XDG_DATA_HOME", dir.filePath("datos"));
        entorno.insert("XDG_CONFIG_HOME", dir.filePath("config"));
        // Its account of each keystroke goes into the test's output, shown when it fails.
        entorno.insert("QT_LOGGING_RULES", "sonarel.desktop.debug=true");
        entorno.insert("QT_FORCE_STDERR_LOGGING", "1");
        sonarel.setProcessEnvironment(entorno);
        sonarel.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        sonarel.start(SONAREL_BINARY, {});
        // A loaded machine took over 30 s to start Sonarel and the portal and show the dialog.
        if (!waitUntil([] { return dialogosDelPortal().activos > 0; }, 90)) {
            ADD_FAILURE() << "portal dialogs open: " << dialogosDelPortal().abiertos
                          << ", none active";
            return false;
        }
        return teclas({"Tab", "space", "shift+Tab", "shift+Tab", "Return"}) &&
               waitUntil([] { return dialogosDelPortal().abiertos == 0; }, 10);
    }
};

QString portapapeles() {
    return ejecutar("xclip", {"-o", "-selection", "clipboard"});
}

TEST_F(DictadoEnGnome, AfterTheGrantEveryDictationIsPastedTheFirstIncluded) {
    ASSERT_TRUE(arrancarYPermitir());

    // A native Wayland text field, in front; the keyboard reaches it.
    const QString salida = dir.filePath("campo.txt");
    QProcessEnvironment nativo = QProcessEnvironment::systemEnvironment();
    nativo.insert("QT_QPA_PLATFORM", "wayland");
    campo.setProcessEnvironment(nativo);
    campo.start(SONAREL_TEXTFIELD, {salida});
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

// GNOME Terminal takes the paste (Shift+Insert) into the program it runs.
TEST_F(DictadoEnGnome, TheDictationIsPastedIntoGnomeTerminal) {
    ASSERT_TRUE(arrancarYPermitir());
    const QString salida = dir.filePath("terminal.txt");
    // Its window belongs to the terminal server, which the bus starts; this client goes with it.
    terminal.start("gnome-terminal",
                   {"--wait", "--", "sh", "-c", "stty -icanon -echo; exec cat > \"$0\"", salida});
    ASSERT_TRUE(waitUntil(
        [&] {
            EXPECT_TRUE(teclas({"x"}));
            return leer(salida).contains('x');
        },
        30));
    const QString texto = dictar("Hola terminal");
    ASSERT_FALSE(texto.isEmpty());
    EXPECT_TRUE(waitUntil([&] { return leer(salida).endsWith(texto); }, 10))
        << leer(salida).toStdString() << " / " << texto.toStdString();
}

}  // namespace
}  // namespace sonarel
