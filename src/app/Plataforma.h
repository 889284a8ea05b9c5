#pragma once

#include "app/Autoprueba.h"
#include "platform/AudioInput.h"
#include "platform/Clock.h"
#include "platform/Desktop.h"
#include "platform/HotKeyService.h"
#include "platform/SpeechService.h"

#include <functional>
#include <memory>

namespace sonarel {

// The recognizer, the microphone and file transcription: all the self-test needs, and nothing
// that needs a display.
struct ServiciosDeVoz {
    std::unique_ptr<SpeechService> speech;
    std::unique_ptr<AudioInput> audio;
    std::unique_ptr<MicrophoneConsent> microphone;
    std::function<void(const QString& ruta, const QString& localeID,
                       std::function<void(Transcripcion)> hecho)>
        transcribir;
};

// The desktop: its applications, clipboard and keystrokes, and the system-wide shortcut.
struct ServiciosDeEscritorio {
    std::unique_ptr<Desktop> desktop;
    std::unique_ptr<HotKeyService> hotKeys;
};

// The Linux back ends.
ServiciosDeVoz crearServiciosDeVoz();
ServiciosDeEscritorio crearServiciosDeEscritorio(const Clock& clock);

}  // namespace sonarel
