// Prints the recognizer's figures: file real-time factor, live partial lag, the cost of a partial
// early and late in a 55 s task, the processor cores the task kept busy, cancel latency and
// resident memory, for whisper tiny-, base- and small-shaped models and Parakeet v3-shaped ones
// (random weights, real cost) at 2 threads; and live dictation in two passes, partials from a fast
// model and each utterance's text from an accurate one ("base+parakeet": partials base, final
// Parakeet q4_0), with each model's decoding cost.
//   whisper_bench [tiny|base|small|parakeet|parakeet-f16|FAST+ACCURATE]...
//                 [decode|file|live|cancel]...
//                 [threads=N] [pace=T] [limited]
//                 [front]
//
// A random-weight model never ends a text by itself: each decoding runs to its token cap, far
// beyond what speech gives, and so inflates the decoder's share. Each figure is printed twice:
// as such, and with every decoding ended after the tokens real Spanish dictation gives (about
// three words, five tokens, a second of audio; pace=T sets another rate, pace=0 prints only the
// first figures, limited only the second). front runs a busy application thread beside the live
// task and prints the share of a core it got.
#include "BenchDictation.h"
#include "BenchModels.h"
#include "LiveFigures.h"
#include "TestAudio.h"
#include "WhisperTestSupport.h"
#include "platform/whisper/FileTask.h"
#include "platform/whisper/LiveTask.h"
#include "platform/whisper/RecognitionModel.h"
#include "platform/whisper/SleepingWaits.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <sndfile.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <numeric>
#include <random>
#include <thread>

using namespace sonarel;
using namespace sonarel::testing;
using Clock = std::chrono::steady_clock;

namespace {

int kThreads = 2;           // threads=N on the command line
bool kOnlyLimited = false;  // limited: only the figures with the decoder limited
bool kFront = false;        // front: a busy application thread runs beside the live task
// Tokens a second of audio that real speech gives.
double kSpeechPace = 5;
double gPace = 0;  // the pace of the figures being printed; 0: the random model's own

std::shared_ptr<whisper::RecognitionModel> loadModel(const QString& path) {
    auto model = whisper::loadRecognitionModel(path, kThreads);
    if (model && gPace > 0) {
        model->limitTokens(gPace);
    }
    return model;
}

double since(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

double processCpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

void fileFactor(const QString& modelPath, const QString& wav, double seconds) {
    auto model = loadModel(modelPath);
    std::optional<RecognitionResult> final;
    whisper::FileJob job(
        wav, whisper::ModelLoad::finished(modelPath, model), "es", true,
        [&](std::optional<RecognitionResult> r, std::optional<RecognitionError> e) {
            if (e) {
                std::printf("  file error %ld %s\n", e->code, qPrintable(e->description));
            }
            final = r;
        });
    const auto start = Clock::now();
    const double cpuStart = processCpuSeconds();
    job.run();
    const double took = since(start);
    const double cpu = processCpuSeconds() - cpuStart;
    // CPU time over the threads is what the run costs on an otherwise idle machine, whatever
    // else shares the cores while it runs.
    std::printf(
        "  file: %.0f s of audio in %.2f s, real-time factor %.3f; CPU %.2f s, %.3f per "
        "thread (%lld characters)\n",
        seconds, took, took / seconds, cpu, cpu / kThreads / seconds,
        final ? qsizetype(final->text.size()) : -1LL);
}

// The cost of one decoding by window length, alone and after a prompt of earlier text.
void decodeCost(const QString& modelPath, const Dictation& d) {
    auto model = loadModel(modelPath);
    std::vector<float> mono;
    for (size_t i = 0; i + 1 < d.audio.samples.size(); i += 6) {
        mono.push_back(0.5f * (d.audio.samples[i] + d.audio.samples[i + 1]));  // 48 kHz to 16
    }
    // The prompt is what the model itself wrote for the audio before, as in a live task.
    const auto first = whisper::RecognitionModel::Decoding::of(mono.data(), 4 * 16000);
    const QString prompt = model->decode(first).text.right(200);
    std::printf("  prompt: %s\n", qPrintable(prompt));
    for (double seconds : {1.0, 2.0, 4.0, 8.0}) {
        for (bool withPrompt : {false, true}) {
            std::vector<double> costs;
            for (int round = 0; round < 3; ++round) {
                auto decoding =
                    whisper::RecognitionModel::Decoding::of(mono.data(), size_t(seconds * 16000));
                if (withPrompt) {
                    decoding.prompt = prompt;
                }
                const auto start = Clock::now();
                model->decode(decoding);
                costs.push_back(since(start));
            }
            std::printf(
                "  decode %.0f s window%s: %.3f s (best of 3), audio_ctx %d, tokens <= %d\n",
                seconds, withPrompt ? " after a prompt" : "",
                *std::min_element(costs.begin(), costs.end()), whisper::audioContextFor(seconds),
                gPace > 0 ? std::min(whisper::maxTokensFor(seconds),
                                     std::max(1, int(std::lround(gPace * seconds))))
                          : whisper::maxTokensFor(seconds));
        }
    }
}

void cancelLatency(const QString& modelPath, const Dictation& d) {
    auto model = loadModel(modelPath);
    std::vector<double> latencies;
    std::mt19937 random(5);
    std::uniform_int_distribution<int> wait(150, 600);
    Audio speech = d.audio;
    speech.samples.resize(std::min(speech.samples.size(), size_t(7 * 48000 * 2)));
    for (int round = 0; round < 15; ++round) {
        auto stream = std::make_shared<whisper::LiveStream>();
        auto job = std::make_shared<whisper::LiveJob>(
            stream, whisper::ModelLoad::finished(modelPath, model), "es", true, [](auto, auto) {},
            whisper::LiveJob::Tuning{});
        std::thread worker([job] { job->run(); });
        constexpr int kFrames = 2048;
        std::vector<float> left(kFrames), right(kFrames);
        for (size_t at = 0; at + kFrames <= speech.samples.size() / 2; at += kFrames) {
            for (int i = 0; i < kFrames; ++i) {
                left[i] = speech.samples[(at + i) * 2];
                right[i] = speech.samples[(at + i) * 2 + 1];
            }
            const float* channels[] = {left.data(), right.data()};
            stream->append(AudioBuffer{channels, 2, kFrames, 48000});
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(wait(random)));
        const auto start = Clock::now();
        job->cancel();
        worker.join();
        latencies.push_back(since(start));
    }
    std::printf("  cancel: worker stopped after p50 %.1f ms, p95 %.1f ms, max %.1f ms\n",
                1000 * percentile(latencies, 0.5), 1000 * percentile(latencies, 0.95),
                1000 * percentile(latencies, 1.0));
}

}  // namespace

int main(int argc, char** argv) {
    sonarel::whisper::restartWithSleepingWaits(argv);
    QCoreApplication app(argc, argv);
    QStringList shapes, parts;
    for (const QString& a : app.arguments().mid(1)) {
        if (a.startsWith("threads=")) {
            kThreads = a.mid(8).toInt();
            continue;
        }
        if (a == "limited") {
            kOnlyLimited = true;
            continue;
        }
        if (a == "front") {
            kFront = true;
            continue;
        }
        if (a.startsWith("pace=")) {
            kSpeechPace = a.mid(5).toDouble();
            continue;
        }
        (a == "tiny" || a == "base" || a == "small" || a.startsWith("parakeet") || a.contains('+')
             ? shapes
             : parts)
            << a;
    }
    if (shapes.isEmpty()) {
        shapes = {"tiny", "base"};
    }
    if (parts.isEmpty()) {
        parts = {"decode", "file", "live", "cancel"};
    }
    QTemporaryDir dir;
    const Dictation file = dictation(dir.path(), 60);
    const QString wav = dir.filePath("dictado.wav");
    writeWav(wav, file.audio);
    const Dictation task = dictation(dir.path(), 55);
    for (const QString& shape : shapes) {
        // A pair: the fast model, then the accurate one, which the other parts use.
        const QString partialShape = shape.contains('+') ? shape.section('+', 0, 0) : QString();
        const QString partialPath = partialShape.isEmpty() ? QString() : modelFor(partialShape);
        const QString path = modelFor(shape.section('+', -1));
        if (path.isEmpty() || (!partialShape.isEmpty() && partialPath.isEmpty())) {
            std::printf("cannot write %s\n", qPrintable(path));
            return 1;
        }
        std::vector<double> paces;
        if (!kOnlyLimited || kSpeechPace <= 0) {
            paces.push_back(0);
        }
        if (kSpeechPace > 0) {
            paces.push_back(kSpeechPace);
        }
        for (double pace : paces) {
            gPace = pace;
            if (pace > 0) {
                std::printf(
                    "%s-shaped model, %d threads, decoder limited to real speech (%.1f "
                    "tokens a second of audio):\n",
                    qPrintable(shape), kThreads, pace);
            } else {
                std::printf("%s-shaped model, %d threads, as the random model decodes:\n",
                            qPrintable(shape), kThreads);
            }
            std::fflush(stdout);
            if (parts.contains("file")) {
                fileFactor(path, wav, 60);
            }
            std::fflush(stdout);
            if (parts.contains("decode")) {
                decodeCost(path, task);
            }
            std::fflush(stdout);
            if (parts.contains("live")) {
                liveFigures({path, loadModel(path), partialPath,
                             partialPath.isEmpty() ? nullptr : loadModel(partialPath), kThreads},
                            task, kFront);
            }
            std::fflush(stdout);
            if (parts.contains("cancel") && pace == paces.front()) {
                cancelLatency(path, task);
            }
            std::fflush(stdout);
        }
    }
    return 0;
}
