#include "app/Aplicacion.h"
#include "app/Autoprueba.h"
#include "app/InstanciaUnica.h"
#include "app/Plataforma.h"
#include "control/Preferences.h"
#include "platform/MainThread.h"

#include <QApplication>
#include <QIcon>

#include <cstdio>
#include <memory>

namespace {

void escribirLinea(const QString& linea) {
    const QByteArray bytes = (linea + QLatin1Char('\n')).toUtf8();
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stdout);
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char* argv[]) {
    using namespace sonarel;

    QStringList argumentos;
    for (int i = 0; i < argc; ++i) {
        argumentos << QString::fromLocal8Bit(argv[i]);
    }
    const std::optional<PeticionAutoprueba> autoprueba = leerAutoprueba(argumentos);
    // Without a display (over SSH, in a script) the self-test still runs, with no windows.
    if (autoprueba && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "xcb;offscreen");
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Sonarel"));
    QApplication::setDesktopFileName(QStringLiteral("sonarel"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/sonarel/sonarel.svg")));
    // Closing the main window leaves the tray item and the hot key working.
    QApplication::setQuitOnLastWindowClosed(false);

    InstanciaUnica instancia(InstanciaUnica::nombrePorDefecto());
    bool primera = false;
    if (!autoprueba) {
        if (!instancia.reclamar(InstanciaUnica::Aviso::Mostrar)) {
            return 0;  // the running copy shows its window instead
        }
        primera = true;
    } else {
        // Beside a running copy, or without a display, only the self-test runs.
        const bool sinPantalla = QGuiApplication::platformName() == QLatin1String("offscreen");
        primera = !sinPantalla && instancia.reclamar(InstanciaUnica::Aviso::Ninguno);
    }

    QtClock clock;
    ServiciosDeVoz voz = crearServiciosDeVoz(Preferences().modelo());
    std::unique_ptr<Aplicacion> aplicacion;
    if (primera) {
        std::optional<ServiciosDeEscritorio> escritorio = crearServiciosDeEscritorio(clock);
        if (escritorio) {
            aplicacion = std::make_unique<Aplicacion>(clock, voz, std::move(*escritorio));
            QObject::connect(&instancia, &InstanciaUnica::activada, aplicacion.get(),
                             &Aplicacion::mostrarVentana);
        } else if (!autoprueba) {
            std::fputs("Sonarel necesita un escritorio X11.\n", stderr);
            return 1;
        }
    }
    if (autoprueba) {
        postToMain([&voz, peticion = *autoprueba] {
            ejecutarAutoprueba(peticion, {*voz.speech, *voz.microphone, escribirLinea,
                                          [](int estado) { QCoreApplication::exit(estado); }});
        });
    }
    if (aplicacion) {
        // A self-test run beside the window is no first start: it leaves the models alone.
        aplicacion->iniciar(!autoprueba);
    }
    return QApplication::exec();
}
