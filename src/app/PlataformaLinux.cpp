#include "app/Plataforma.h"

#include "delivery/Terminales.h"
#include "platform/Logging.h"
#include "platform/MainThread.h"
#include "platform/atspi/AccessibleWindows.h"
#include "platform/portal/PortalGlobalShortcuts.h"
#include "platform/portal/PortalRemoteDesktop.h"
#include "platform/pulse/PulseAudioInput.h"
#include "platform/pulse/PulseConnection.h"
#include "platform/pulse/PulseMicrophoneConsent.h"
#include "platform/pulse/PulseSoundPlayer.h"
#include "platform/wayland/ForeignToplevels.h"
#include "platform/wayland/LayerShellPanels.h"
#include "platform/wayland/NoHotKeyService.h"
#include "platform/wayland/PlasmaWindows.h"
#include "platform/wayland/Session.h"
#include "platform/wayland/UinputKeyboard.h"
#include "platform/wayland/VirtualKeyboard.h"
#include "platform/wayland/WaylandDesktop.h"
#include "platform/whisper/WhisperSpeechModels.h"
#include "platform/whisper/WhisperSpeechService.h"
#include "platform/x11/SelectionWatch.h"
#include "platform/x11/X11Desktop.h"
#include "platform/x11/X11HotKeyService.h"
#include "platform/x11/X11PanelWindowing.h"

#include <QDBusConnection>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QPointer>
#include <QSettings>
#include <QStandardPaths>

namespace sonarel {
namespace {

bool esTerminal(const QString& id) {
    return terminales().contains(id);
}

// Sonarel's windows as the compositor lists them: by the desktop file's name natively, by the
// window class through XWayland.
QStringList idsPropios() {
    return {QGuiApplication::desktopFileName(), QCoreApplication::applicationName()};
}

// What the desktop back ends keep between runs: the portal's restore token, and whether the
// user was told how to bind the shortcut.
QString archivoDelEscritorio() {
    return QDir(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation))
        .filePath(QStringLiteral("Sonarel/escritorio.conf"));
}

QString avisoSinAtajo(const QString& atajo) {
    return QStringLiteral(
               "Este escritorio no deja reservar %1: asígnale la orden «sonarel --alternar» en "
               "sus ajustes de teclado.")
        .arg(atajo);
}

// The uinput keyboard lets any program of the user's type anywhere, so it is off until the user
// turns it on.
QString avisoSinUinput() {
    return QStringLiteral(
        "Este escritorio no deja que Sonarel escriba el texto: queda en el portapapeles. Para que "
        "lo escriba, permite su teclado virtual como explica el README (apartado «Teclado "
        "virtual»).");
}

// Told once: a notice the user has read needs no repeating at every start.
void avisarUnaVez(DesktopNotices& avisos, const QString& clave, const QString& aviso) {
    QSettings estado(archivoDelEscritorio(), QSettings::IniFormat);
    if (estado.value(clave).toBool()) {
        return;
    }
    estado.setValue(clave, true);
    postToMain([destino = QPointer(&avisos), aviso] {
        if (destino) {
            emit destino->notice(aviso);
        }
    });
}

std::optional<ServiciosDeEscritorio> serviciosWayland(Clock& clock, const QString& atajo) {
    ServiciosDeEscritorio escritorio;
    DesktopNotices& avisos = *escritorio.avisos;
    const QDBusConnection bus = QDBusConnection::sessionBus();
    wayland::WaylandDesktop::Parts partes;
    partes.connection = wayland::WaylandConnection::connect();
    if (partes.connection) {
        partes.toplevels = wayland::ForeignToplevels::create(*partes.connection);
        // KWin lists its windows through a protocol of its own, to the programs its desktop
        // file names.
        if (!partes.toplevels) {
            partes.toplevels = wayland::PlasmaWindows::create(*partes.connection);
        }
        partes.clipboard = wayland::DataControlClipboard::create(*partes.connection);
    }
    // GNOME's compositor lists no windows to its clients; its accessibility bus does.
    if (!partes.toplevels) {
        partes.toplevels = atspi::AccessibleWindows::create(bus);
    }
    if (!partes.toplevels) {
        qCDebug(logDesktop) << "no window list reaches this program: the application in front "
                               "is unknown";
    }
    // Without data-control (GNOME, KDE) the clipboard is Qt's X11 selection, which the
    // compositor bridges: what it asks of it tells when a paste can go and when it was read.
    if (!partes.clipboard) {
        partes.x11Selection = x11::SelectionWatch::create();
    }
    if (partes.connection) {
        if (auto teclado = wayland::VirtualKeyboard::create(*partes.connection)) {
            partes.routes.push_back(std::move(teclado));
        }
    }
    // GNOME and KDE keep synthesised keys to the portal's remote desktop; where it is missing or
    // refused, a keyboard device of our own, where the user may make one.
    if (partes.routes.empty()) {
        if (auto remoto =
                portal::PortalRemoteDesktop::create(bus, clock, avisos, archivoDelEscritorio())) {
            escritorio.pedirPermisoParaEscribir = [ruta = QPointer(remoto.get())] {
                if (ruta) {
                    ruta->ask();
                }
            };
            partes.routes.push_back(std::move(remoto));
        }
        if (auto dispositivo = wayland::UinputKeyboard::create()) {
            partes.routes.push_back(std::move(dispositivo));
        }
        // The keyboard device is the one route left, and the user has not allowed it.
        if (partes.routes.empty() && QFileInfo::exists(wayland::UinputKeyboard::kDevice)) {
            avisarUnaVez(avisos, QStringLiteral("avisoUinputMostrado"), avisoSinUinput());
        }
    }
    auto desktop = std::make_unique<wayland::WaylandDesktop>(std::move(partes), clock, &esTerminal,
                                                             idsPropios(), avisos);
    if (auto atajos = portal::PortalGlobalShortcuts::create(bus, clock, avisos)) {
        atajos->onHeld = [destino = QPointer(desktop.get())](bool held) {
            if (destino) {
                destino->setShortcutHeld(held);
            }
        };
        escritorio.hotKeys = std::move(atajos);
    } else {
        escritorio.hotKeys = std::make_unique<wayland::NoHotKeyService>();
        // Told once: a user who bound the command needs no reminder at every start.
        avisarUnaVez(avisos, QStringLiteral("avisoAtajoMostrado"), avisoSinAtajo(atajo));
    }
    escritorio.alAlternarPorOrden = [destino = QPointer(desktop.get())] {
        if (destino) {
            destino->commandRan();
        }
    };
    escritorio.desktop = std::move(desktop);
    if (auto capas = wayland::LayerShellPanels::create()) {
        escritorio.paneles = std::move(capas);
    } else {
        escritorio.paneles = std::make_unique<x11::X11PanelWindowing>();
    }
    return escritorio;
}

std::optional<ServiciosDeEscritorio> serviciosX11(Clock& clock) {
    std::unique_ptr<x11::X11Desktop> desktop = x11::X11Desktop::create(clock, &esTerminal);
    std::unique_ptr<x11::X11HotKeyService> hotKeys = x11::X11HotKeyService::create();
    if (!desktop || !hotKeys) {
        return std::nullopt;
    }
    ServiciosDeEscritorio escritorio;
    escritorio.desktop = std::move(desktop);
    escritorio.hotKeys = std::move(hotKeys);
    escritorio.paneles = std::make_unique<x11::X11PanelWindowing>();
    return escritorio;
}

}  // namespace

ServiciosDeVoz crearServiciosDeVoz(const QString& modelo, const QString& modeloParciales) {
    auto speech = std::make_unique<whisper::WhisperSpeechService>();
    auto modelos = std::make_unique<whisper::WhisperSpeechModels>(*speech);
    speech->usePartialModel(modeloParciales);
    // Loaded while the user has not pressed anything yet, so that the first dictation does not
    // wait for it.
    if (!modelo.isEmpty() && QFileInfo(modelo).isFile()) {
        speech->useModel(modelo);
    } else {
        speech->preload();
    }
    return crearServiciosDeVoz(std::move(speech), std::move(modelos),
                               whisper::WhisperSpeechService::defaultModelFolders());
}

ServiciosDeVoz crearServiciosDeVoz(std::unique_ptr<SpeechService> speech,
                                   std::unique_ptr<SpeechModels> modelos,
                                   QStringList carpetasDeModelos) {
    ServiciosDeVoz voz;
    voz.sonido = std::make_shared<PulseConnection>();
    voz.speech = std::move(speech);
    voz.modelos = std::move(modelos);
    voz.carpetasDeModelos = std::move(carpetasDeModelos);
    voz.audio = std::make_unique<PulseAudioInput>(*voz.sonido);
    voz.microphone = std::make_unique<PulseMicrophoneConsent>(*voz.sonido);
    voz.sonidos = std::make_unique<PulseSoundPlayer>(*voz.sonido);
    return voz;
}

std::optional<ServiciosDeEscritorio> crearServiciosDeEscritorio(Clock& clock,
                                                                const QString& atajo) {
    if (wayland::isWaylandSession()) {
        return serviciosWayland(clock, atajo);
    }
    return serviciosX11(clock);
}

}  // namespace sonarel
