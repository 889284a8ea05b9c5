#pragma once

#include "platform/whisper/LiveTask.h"

#include <QString>

namespace sonarel::testing {

// The generated model file of a shape, written the first time: whisper "tiny", "base" or
// "small"; "parakeet" (v3 shapes, q4_0, as the manager installs it) or "parakeet-f16". Empty
// when it cannot be written.
QString modelFor(const QString& shape);

// Live decoding's tuning with the changes SONAREL_BENCH_LIVE asks for, such as
// "utterance=4,step=0.25,threads=2,budget=1,burst=0.5,stopped=0.1,nice=5".
whisper::LiveJob::Tuning tuningFromEnvironment();

}  // namespace sonarel::testing
