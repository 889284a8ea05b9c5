#pragma once

#include "platform/AudioInput.h"
#include "platform/Clock.h"
#include "platform/Desktop.h"
#include "platform/DesktopNotices.h"
#include "platform/HotKeyService.h"
#include "platform/Sounds.h"
#include "platform/SpeechModels.h"
#include "platform/SpeechService.h"

#include <functional>
#include <memory>
#include <optional>

namespace sonarel {

class PanelWindowing;
class PulseConnection;

// The recognizer, the microphone and the start and stop sounds: nothing that needs a display.
struct ServiciosDeVoz {
    // Declared so that the recognizer, whose threads may still ask for the microphone's
    // consent, goes first, and the sound server connection last.
    std::shared_ptr<PulseConnection> sonido;  // shared by the microphone, its consent, the sounds
    std::unique_ptr<SoundPlayer> sonidos;
    std::unique_ptr<MicrophoneConsent> microphone;
    std::unique_ptr<AudioInput> audio;
    std::unique_ptr<SpeechService> speech;
    std::unique_ptr<SpeechModels> modelos;  // the recognizer's, so it goes before it
    QStringList carpetasDeModelos;          // the user's own first
};

// The desktop: its applications, clipboard and keystrokes, the system-wide shortcut, and the
// floating panel's window hints; and the notices by which the back ends say that a service failed.
struct ServiciosDeEscritorio {
    std::unique_ptr<DesktopNotices> avisos = std::make_unique<DesktopNotices>();
    std::unique_ptr<Desktop> desktop;
    std::unique_ptr<HotKeyService> hotKeys;
    std::unique_ptr<PanelWindowing> paneles;
    // Told before the command `sonarel --alternar` toggles the dictation; may be empty.
    std::function<void()> alAlternarPorOrden;
    // Asks the desktop to let the application type into others, where that takes a question
    // of the desktop's own (the remote-desktop portal's dialog); empty elsewhere.
    std::function<void()> pedirPermisoParaEscribir;
};

// The Linux back ends: whisper.cpp and PulseAudio; for the desktop, the Wayland back ends on a
// Wayland session and X11 otherwise; none when the application runs on neither. The recognizer
// starts loading `modelo` (the model chosen in the manager) while that file is there, and
// otherwise the model folders' choice; and `modeloParciales`, when named, for the text shown while
// an utterance is spoken. A desktop that lets no application reserve a shortcut is told of once,
// naming the shortcut `atajo` (the user's combination, as the texts write it).
ServiciosDeVoz crearServiciosDeVoz(const QString& modelo, const QString& modeloParciales);
std::optional<ServiciosDeEscritorio> crearServiciosDeEscritorio(Clock& clock, const QString& atajo);
// The microphone and the sounds through PulseAudio with the recognizer given, `modelos` being its
// models.
ServiciosDeVoz crearServiciosDeVoz(std::unique_ptr<SpeechService> speech,
                                   std::unique_ptr<SpeechModels> modelos,
                                   QStringList carpetasDeModelos);

}  // namespace sonarel
