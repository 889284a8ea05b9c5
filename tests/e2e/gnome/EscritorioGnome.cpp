#include "EscritorioGnome.h"

#include "support/CarpetasDeSonarel.h"
#include "support/EventLoop.h"
#include "support/Lecturas.h"
#include "support/Xdotool.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDate>
#include <QDir>
#include <QFile>

namespace sonarel::testing {
namespace {

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

}  // namespace

Ventanas ventanasDe(const QString& nombre) {
    QDBusConnection a11y = accesibilidad();
    const QString raiz = "/org/a11y/atspi/accessible/root";
    Ventanas ventanas;
    for (const auto& [app, ruta] : hijos(a11y, "org.a11y.atspi.Registry", raiz)) {
        QDBusMessage get =
            QDBusMessage::createMethodCall(app, ruta, "org.freedesktop.DBus.Properties", "Get");
        get.setArguments({"org.a11y.atspi.Accessible", "Name"});
        if (a11y.call(get).arguments().value(0).value<QDBusVariant>().variant().toString() !=
            nombre) {
            continue;
        }
        for (const auto& [propietario, ventana] : hijos(a11y, app, ruta)) {
            ++ventanas.abiertas;
            const QDBusMessage estado = a11y.call(QDBusMessage::createMethodCall(
                propietario, ventana, "org.a11y.atspi.Accessible", "GetState"));
            const QDBusArgument bits = estado.arguments().value(0).value<QDBusArgument>();
            QList<uint> palabras;
            bits >> palabras;
            constexpr uint kActive = 1u << 1;  // ATSPI_STATE_ACTIVE
            if (!palabras.isEmpty() && (palabras[0] & kActive)) {
                ++ventanas.activas;
            }
        }
    }
    return ventanas;
}

QString portapapeles() {
    return ejecutar("xclip", {"-o", "-selection", "clipboard"});
}

DictadoEnGnome::DictadoEnGnome() {
    entorno_ = carpetasDeSonarel(dir);
    ajustesDeSonarel(dir, "Sonarel.conf", "enterEnTerminal=true\n");
    ajustesDeSonarel(dir, "escritorio.conf", "avisoAtajoMostrado=true\n");
    // The command as "Añadir Alt+Super+D a los atajos de GNOME" binds it, in this test's
    // folders.
    const QString orden = ordenAlternar(dir);
    const QString ruta =
        "/org/gnome/settings-daemon/plugins/media-keys/custom-keybindings/sonarel/";
    const QString esquema =
        "org.gnome.settings-daemon.plugins.media-keys.custom-keybinding:" + ruta;
    ejecutar("gsettings", {"set", esquema, "name", "Sonarel"});
    ejecutar("gsettings", {"set", esquema, "command", "sh " + orden});
    ejecutar("gsettings", {"set", esquema, "binding", "<Alt><Super>d"});
    ejecutar("gsettings", {"set", "org.gnome.settings-daemon.plugins.media-keys",
                           "custom-keybindings", "['" + ruta + "']"});
}

DictadoEnGnome::~DictadoEnGnome() {
    QFile(dir.filePath("fin")).open(QIODevice::WriteOnly);
    for (QProcess* proceso : {&app, &sonarel}) {
        proceso->terminate();
        if (!proceso->waitForFinished(5000)) {
            proceso->kill();
            proceso->waitForFinished(3000);
        }
    }
    // A window left would take the focus from the next test's.
    EXPECT_TRUE(waitUntil([] { return ventanasDe("gnome-terminal-server").abiertas == 0; }, 10));
    if (HasFailure()) {
        std::fprintf(stderr, "%s", qPrintable(registro()));
    }
    // The portal closes Sonarel's session only a while after it ended: the next test starts
    // on a desktop with no session of a Sonarel gone.
    waitUntil([] { return sesionesDeMutter() <= 1; }, 30);
}

void DictadoEnGnome::abrirTerminal(const QString& guion, const QStringList& argumentos) {
    const QString vigia = QStringLiteral("(while [ ! -e '%1' ]; do sleep 0.1; done; kill $$) & ")
                              .arg(dir.filePath("fin"));
    app.start("gnome-terminal",
              QStringList{"--wait", "--", "sh", "-c", vigia + guion} + argumentos);
}

QString DictadoEnGnome::registro() {
    registro_ += QString::fromUtf8(sonarel.readAllStandardError());
    return registro_;
}

QString DictadoEnGnome::historial() const {
    return dir.filePath("datos/Sonarel/dictados-" + QDate::currentDate().toString("yyyy-MM") +
                        ".txt");
}

QString DictadoEnGnome::dictar(const QString& frase) {
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
            return ahora != previo && !(texto = ahora.section("=====\n", -1).trimmed()).isEmpty();
        },
        60);
    return texto;
}

bool DictadoEnGnome::arrancarYPermitir() {
    // Escape closes the overview GNOME opens at its start; pressed at least once, it also puts
    // this session's keyboard on the seat (mutter adds it at its first key) before the dialog
    // opens.
    if (!waitUntil([&] { return teclas({"Escape"}) && !vistaGeneral(); }, 30)) {
        ADD_FAILURE() << "the overview stays open";
        return false;
    }
    QProcessEnvironment entorno = entorno_;
    // Its account of each keystroke, shown when a test fails.
    entorno.insert("QT_LOGGING_RULES", "sonarel.desktop.debug=true");
    entorno.insert("QT_FORCE_STDERR_LOGGING", "1");
    sonarel.setProcessEnvironment(entorno);
    sonarel.start(SONAREL_BINARY, {});
    // A loaded machine took over 30 s to start Sonarel and the portal and show the dialog.
    const QString portal = "xdg-desktop-portal-gnome";
    if (!waitUntil([&] { return ventanasDe(portal).activas > 0; }, 90)) {
        ADD_FAILURE() << "portal dialogs open: " << ventanasDe(portal).abiertas << ", none active";
        return false;
    }
    // The switch "Allow Remote Interaction" turned on, then "Share".
    return teclas({"Tab", "space", "shift+Tab", "shift+Tab", "Return"}) &&
           waitUntil([&] { return ventanasDe(portal).abiertas == 0; }, 10);
}

}  // namespace sonarel::testing
