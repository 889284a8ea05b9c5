#include "app/Plataforma.h"

#include <QFileInfo>

#include "delivery/Terminales.h"
#include "platform/pulse/PulseAudioInput.h"
#include "platform/pulse/PulseConnection.h"
#include "platform/pulse/PulseMicrophoneConsent.h"
#include "platform/whisper/WhisperSpeechModels.h"
#include "platform/whisper/WhisperSpeechService.h"
#include "platform/x11/X11Desktop.h"
#include "platform/x11/X11HotKeyService.h"
#include "platform/x11/X11PanelWindowing.h"

namespace sonarel {

ServiciosDeVoz crearServiciosDeVoz(const QString& modelo) {
    ServiciosDeVoz voz;
    voz.sonido = std::make_shared<PulseConnection>();
    auto speech = std::make_unique<whisper::WhisperSpeechService>();
    voz.modelos = std::make_unique<whisper::WhisperSpeechModels>(*speech);
    voz.carpetasDeModelos = whisper::WhisperSpeechService::defaultModelFolders();
    // Loaded while the user has not pressed anything yet, so that the first dictation does not
    // wait for it.
    if (!modelo.isEmpty() && QFileInfo(modelo).isFile()) {
        speech->useModel(modelo);
    } else {
        speech->preload();
    }
    voz.speech = std::move(speech);
    voz.audio = std::make_unique<PulseAudioInput>(*voz.sonido);
    voz.microphone = std::make_unique<PulseMicrophoneConsent>(*voz.sonido);
    return voz;
}

std::optional<ServiciosDeEscritorio> crearServiciosDeEscritorio(Clock& clock) {
    std::unique_ptr<x11::X11Desktop> desktop =
        x11::X11Desktop::create(clock, [](const QString& id) { return terminales().contains(id); });
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

}  // namespace sonarel
