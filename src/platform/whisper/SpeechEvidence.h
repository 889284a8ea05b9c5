#pragma once

namespace sonarel::whisper {

// Whether a stretch of audio held words, from its energy and the model's own judgement. Whisper
// writes phrases it learnt from subtitles ("Gracias.", "Subtítulos realizados por la comunidad
// de Amara.org") over noise and silence, so a text is kept only when both agree there was a
// voice; a phrase that someone did say passes as any other.
//
// `contrast` is how far the stretch's loudest frame stands above the quietest around it since its
// voice began (or the room's level, when higher): a voice rises and falls with its sounds, where
// a fan's or a road's noise stays level, even when it starts or stops.
inline constexpr double kVoiceContrast = 3;
// A voice this far above its surroundings (20 dB) is clear: whisper's own threshold on its
// no-speech probability applies. Nearer the noise, where the phantom phrases come from, whisper
// must be surer there was speech.
inline constexpr double kClearVoice = 10;
inline constexpr double kNoSpeechOverClearVoice = 0.6;
inline constexpr double kNoSpeechOverFaintVoice = 0.3;

// Whether the stretch is worth decoding at all.
inline bool voiceStandsOut(double contrast) {
    return contrast >= kVoiceContrast;
}

// Whether the text decoded from a stretch of `contrast` with the model's no-speech probability
// `noSpeech` (0 to 1; 0 from a model that gives none) was spoken.
inline bool wasSpoken(double contrast, double noSpeech) {
    return voiceStandsOut(contrast) &&
           noSpeech < (contrast >= kClearVoice ? kNoSpeechOverClearVoice : kNoSpeechOverFaintVoice);
}

}  // namespace sonarel::whisper
