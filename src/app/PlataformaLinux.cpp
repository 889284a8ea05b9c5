#include "app/Plataforma.h"

#include "platform/doubles/FakeDesktop.h"
#include "platform/doubles/FakeHotKeyService.h"
#include "platform/doubles/PushAudioInput.h"
#include "platform/doubles/ScriptedSpeechService.h"

namespace sonarel {

// Stand-ins until the PulseAudio, whisper and X11 back ends are wired in.
ServiciosDeVoz crearServiciosDeVoz() {
    ServiciosDeVoz voz;
    voz.speech = std::make_unique<doubles::ScriptedSpeechService>();
    voz.audio = std::make_unique<doubles::PushAudioInput>();
    voz.microphone = std::make_unique<doubles::FakeMicrophoneConsent>();
    voz.transcribir = [](const QString&, const QString&, std::function<void(Transcripcion)> hecho) {
        hecho({false, QStringLiteral("no hay reconocedor")});
    };
    return voz;
}

ServiciosDeEscritorio crearServiciosDeEscritorio(const Clock& clock) {
    ServiciosDeEscritorio escritorio;
    escritorio.desktop = std::make_unique<doubles::FakeDesktop>(clock);
    escritorio.hotKeys = std::make_unique<doubles::FakeHotKeyService>();
    return escritorio;
}

}  // namespace sonarel
