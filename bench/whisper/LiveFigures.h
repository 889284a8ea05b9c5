#pragma once

#include "BenchDictation.h"
#include "platform/whisper/RecognitionModel.h"

#include <QString>

#include <memory>

namespace sonarel::testing {

// The models of a live task: the accurate one, and the fast one for partials (null: one model).
struct LiveModels {
    QString accuratePath;
    std::shared_ptr<whisper::RecognitionModel> accurate;
    QString partialPath;
    std::shared_ptr<whisper::RecognitionModel> partial;
    int threads = 0;  // the models' own count of threads
};

// Feeds the dictation to a live task in real time and prints the partial lag, the cost of each
// partial early and late in the task, the cores it kept busy and the resident memory; with two
// models, each model's decodings too. `withFront` runs a busy application thread beside it.
void liveFigures(const LiveModels& models, const Dictation& d, bool withFront);

}  // namespace sonarel::testing
