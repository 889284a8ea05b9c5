#include "app/Aplicacion.h"
#include "app/Autoprueba.h"
#include "app/InstanciaUnica.h"
#include "app/Plataforma.h"
#include "app/SenalesDeSalida.h"
#include "control/Preferences.h"
#include "platform/MainThread.h"
#include "platform/portal/HostRegistry.h"
#include "platform/wayland/Session.h"
#include "platform/whisper/CpuVariant.h"
#include "platform/whisper/SleepingWaits.h"

#include <QApplication>
#include <QDBusConnection>
#include <QIcon>
#include <QMessageBox>

#include <cstdio>
#include <memory>

namespace {

// The exit status when there is no desktop to show the application on.
constexpr int kSinPantalla = 4;
// The exit status on a processor the recognizer cannot run on.
constexpr int kProcesadorInsuficiente = 5;
// The application id the desktop knows Sonarel by: its desktop file's name and its Wayland app
// id. Reverse-DNS, since GNOME's shortcuts refuse any other.
const QString kIdDeAplicacion = QStringLiteral("org.sonarel.Sonarel");

void escribirLinea(const QString& linea) {
    const QByteArray bytes = (linea + QLatin1Char('\n')).toUtf8();
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stdout);
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char* argv[]) {
    using namespace sonarel;
    whisper::restartWithSleepingWaits(argv);

    QStringList argumentos;
    for (int i = 0; i < argc; ++i) {
        argumentos << QString::fromLocal8Bit(argv[i]);
    }
    const std::optional<PeticionAutoprueba> autoprueba = leerAutoprueba(argumentos);
    // `--alternar` toggles the dictation of the running copy, as the shortcut does; with none
    // running, it starts one that begins a dictation at once.
    const QString orden = autoprueba ? QString() : argumentos.value(1);
    const bool alternar = orden == QLatin1String("--alternar");
    // `--empezar` and `--parar` start and stop it explicitly: a compositor binds them to a
    // shortcut's press and its release, so that the dictation lasts while the keys are held.
    const bool empezar = orden == QLatin1String("--empezar");
    const bool parar = orden == QLatin1String("--parar");
    // `--oculto`, as the session's autostart runs it: only the tray item and the shortcut.
    const bool oculto = orden == QLatin1String("--oculto");
    const QByteArray pedida = qgetenv("QT_QPA_PLATFORM");
    QByteArray plataforma = wayland::qtPlatformForSession(pedida);
    if (plataforma.isEmpty()) {
        plataforma = QByteArrayLiteral("xcb");
    }
    // Without any display Qt would abort; its offscreen platform, last, lets the self-test run
    // with no windows (over SSH, in a script) and the application say what is missing.
    const bool sinPantallaPedida = pedida.contains("offscreen") || pedida.contains("minimal");
    if (!sinPantallaPedida) {
        plataforma += QByteArrayLiteral(";offscreen");
    }
    qputenv("QT_QPA_PLATFORM", plataforma);

    // On a Wayland session Sonarel reaches the portal: it names itself before anything else in
    // the process talks to it, Qt's platform theme in QApplication's constructor included.
    if (!autoprueba && wayland::isWaylandSession()) {
        portal::registerHost(QDBusConnection::sessionBus(), kIdDeAplicacion);
    }
    QApplication app(argc, argv);
    if (QGuiApplication::platformName() == QLatin1String("offscreen") && !sinPantallaPedida &&
        !autoprueba) {
        std::fputs(
            "Sonarel necesita un escritorio: no encontró ninguna pantalla X11 ni Wayland "
            "(DISPLAY, WAYLAND_DISPLAY).\n",
            stderr);
        return kSinPantalla;
    }
    // Without the instructions of the recognizer's lowest level no model could ever load.
    if (const QStringList faltan = whisper::missingInstructions(); !faltan.isEmpty()) {
        const QString mensaje =
            QStringLiteral(
                "Sonarel necesita un procesador con AVX2 (Intel desde 2013, AMD desde "
                "2015) para reconocer la voz; a este le falta: %1.")
                .arg(faltan.join(QStringLiteral(", ")));
        std::fputs(qUtf8Printable(mensaje + QLatin1Char('\n')), stderr);
        if (!autoprueba && QGuiApplication::platformName() != QLatin1String("offscreen")) {
            QMessageBox::critical(nullptr, QStringLiteral("Sonarel"), mensaje);
        }
        return kProcesadorInsuficiente;
    }
    QApplication::setApplicationName(QStringLiteral("Sonarel"));
    QApplication::setDesktopFileName(kIdDeAplicacion);
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/sonarel/sonarel.svg")));
    // Closing the main window leaves the tray item and the hot key working.
    QApplication::setQuitOnLastWindowClosed(false);

    InstanciaUnica instancia(InstanciaUnica::nombrePorDefecto());
    bool primera = false;
    if (!autoprueba) {
        const InstanciaUnica::Aviso aviso = alternar  ? InstanciaUnica::Aviso::Alternar
                                            : empezar ? InstanciaUnica::Aviso::Empezar
                                            : parar   ? InstanciaUnica::Aviso::Parar
                                            : oculto  ? InstanciaUnica::Aviso::Ninguno
                                                      : InstanciaUnica::Aviso::Mostrar;
        // With no copy running there is no dictation to stop.
        if (!instancia.reclamar(aviso) || parar) {
            return 0;  // the running copy shows its window, toggles, starts or stops instead
        }
        primera = true;
    } else {
        // Beside a running copy, or without a display, only the self-test runs.
        const bool sinPantalla = QGuiApplication::platformName() == QLatin1String("offscreen");
        primera = !sinPantalla && instancia.reclamar(InstanciaUnica::Aviso::Ninguno);
    }

    QtClock clock;
    ServiciosDeVoz voz = [] {
        const Preferences preferencias;
        return crearServiciosDeVoz(preferencias.modelo(), preferencias.modeloParciales());
    }();
    std::unique_ptr<Aplicacion> aplicacion;
    if (primera) {
        std::optional<ServiciosDeEscritorio> escritorio =
            crearServiciosDeEscritorio(clock, Preferences().atajo().texto());
        if (escritorio) {
            aplicacion = std::make_unique<Aplicacion>(clock, voz, std::move(*escritorio));
            QObject::connect(&instancia, &InstanciaUnica::activada, aplicacion.get(),
                             &Aplicacion::mostrarVentana);
            QObject::connect(&instancia, &InstanciaUnica::alternar, aplicacion.get(),
                             &Aplicacion::alternar);
            QObject::connect(&instancia, &InstanciaUnica::empezar, aplicacion.get(),
                             &Aplicacion::empezar);
            QObject::connect(&instancia, &InstanciaUnica::parar, aplicacion.get(),
                             &Aplicacion::parar);
        } else if (!autoprueba) {
            std::fputs("Sonarel necesita un escritorio X11 o Wayland.\n", stderr);
            return 1;
        }
    }
    if (autoprueba) {
        postToMain([&voz, peticion = *autoprueba] {
            ejecutarAutoprueba(peticion, {*voz.speech, *voz.microphone, escribirLinea,
                                          [](int estado) { QCoreApplication::exit(estado); }});
        });
    }
    SenalesDeSalida senales;
    if (aplicacion) {
        QObject::connect(&senales, &SenalesDeSalida::recibida, aplicacion.get(),
                         &Aplicacion::salir);
    } else {
        QObject::connect(&senales, &SenalesDeSalida::recibida, &app, &QCoreApplication::quit);
    }
    if (aplicacion) {
        // Started to dictate, it leaves the focus where the user pressed the shortcut. A self-test
        // run beside the window is no first start: it leaves the models alone.
        const bool dictar = alternar || empezar;
        aplicacion->iniciar(!dictar && !oculto, !autoprueba && !oculto);
        if (dictar) {
            aplicacion->alternar();
        }
    }
    return QApplication::exec();
}
