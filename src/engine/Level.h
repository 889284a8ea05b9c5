#pragma once

#include "platform/AudioInput.h"

namespace sonarel::level {

inline constexpr double kAmplitudeFloor = 1e-7;
inline constexpr double kDecibelOffset = 55;
inline constexpr double kDecibelRange = 50;
inline constexpr double kVoiceThreshold = 0.12;
inline constexpr double kPublicationInterval = 0.05;
inline constexpr double kSmoothingKeep = 0.6;
inline constexpr double kSmoothingNew = 0.4;

// Root mean square of the first channel in single precision; 0 without float samples or frames.
float rmsOfFirstChannel(const AudioBuffer& buffer);

// The RMS on the meter's scale: -55 dB is 0 and -5 dB is 1, clamped to [0, 1].
double normalized(double rms);

}  // namespace sonarel::level
