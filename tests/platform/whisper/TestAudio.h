#pragma once

#include <QString>

#include <vector>

namespace sonarel::testing {

// Spanish speech made with espeak-ng into `dir`, as a wav file at espeak's own rate.
QString speechWav(const QString& dir, const QString& name, const QString& text);
// Runs a converter (sox, lame, flac, oggenc, opusenc) and answers whether it succeeded.
bool runTool(const QString& program, const QStringList& arguments);

struct Audio {
    std::vector<float> samples;  // interleaved
    int channels = 0;
    double rate = 0;
};
Audio readAudio(const QString& path);

}  // namespace sonarel::testing
