#pragma once

#include "platform/whisper/SyntheticModel.h"

#include <QString>

#include <atomic>
#include <optional>

namespace sonarel::whisper {

// The seconds one encoder pass over `window` seconds of audio takes on this machine with
// `threads` threads, sized as live decoding sizes it: of the model file at `path`, or of a
// random-weight model of `shape` (whose cost is the real one). A Parakeet file's pass is over the
// window itself, since its encoder takes audio of any length. The second of two passes counts,
// so that the first's warming up does not. Nothing when the model does not load or run. Takes
// seconds, and as much memory as the model: call it off the main thread. Raising `cancelled`
// ends it early, with nothing.
std::optional<double> timeEncoderPass(const QString& path, double window, int threads,
                                      const std::atomic<bool>* cancelled = nullptr);
std::optional<double> timeEncoderPass(const ModelShape& shape, double window, int threads,
                                      const std::atomic<bool>* cancelled = nullptr);

}  // namespace sonarel::whisper
