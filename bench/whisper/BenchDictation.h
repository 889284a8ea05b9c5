#pragma once

#include "TestAudio.h"

#include <QString>

#include <utility>
#include <vector>

namespace sonarel::testing {

// Spoken sentences with pauses between them, `seconds` long, and where the speech is.
struct Dictation {
    Audio audio;                                    // 48 kHz stereo, as captured
    std::vector<std::pair<double, double>> speech;  // start and end of each sentence, seconds
};
// Made with espeak-ng in `dir`.
Dictation dictation(const QString& dir, double seconds);

bool writeWav(const QString& path, const Audio& audio);
double percentile(std::vector<double> values, double p);
double residentMegabytes();

}  // namespace sonarel::testing
