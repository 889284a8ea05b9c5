// Prints the recognizer's figures: file real-time factor, live partial lag, the cost of a partial
// early and late in a 55 s task, the processor cores the task kept busy, cancel latency and
// resident memory, for whisper tiny-, base- and small-shaped models and Parakeet v3-shaped ones
// (random weights, real cost) at 2 threads.
//   whisper_bench [tiny|base|small|parakeet|parakeet-f16]... [decode|file|live|cancel]...
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

void live(const QString& modelPath, const Dictation& d) {
    auto model = loadModel(modelPath);
    struct Observed {
        double at;
        double covered;
        double cost;
        bool partial;
    };
    std::mutex lock;
    std::vector<Observed> observed;
    const auto start = Clock::now();
    whisper::LiveJob::Tuning tuning = tuningFromEnvironment();
    tuning.observe = [&](size_t covered, double cost, bool partial, const QString&) {
        std::lock_guard guard(lock);
        observed.push_back({since(start), double(covered) / 16000, cost, partial});
    };
    auto stream = std::make_shared<whisper::LiveStream>();
    whisper::LiveJob job(
        stream, whisper::ModelLoad::finished(modelPath, model), "es", true, [](auto, auto) {},
        tuning);
    const double cpuStart = processCpuSeconds();
    std::thread worker([&] { job.run(); });
    // The application in front, busy all along at the desktop's priority.
    std::atomic<bool> frontDone{false};
    std::atomic<double> frontCpu{0};
    std::thread front;
    if (kFront) {
        front = std::thread([&] {
            volatile double x = 0;
            while (!frontDone) {
                for (int i = 0; i < 100000; ++i) {
                    x = x + 1e-9 * i;
                }
            }
            timespec t{};
            clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
            frontCpu = double(t.tv_sec) + double(t.tv_nsec) / 1e9;
        });
    }

    // Fed in real time, in capture-sized buffers; the arrival time of every buffer is kept.
    constexpr int kFrames = 2048;
    std::vector<std::pair<double, double>> arrivals;  // audio time of the buffer's end, wall time
    std::vector<float> left(kFrames), right(kFrames);
    const size_t frames = d.audio.samples.size() / 2;
    double peakResident = 0;
    auto next = Clock::now();
    for (size_t at = 0; at < frames; at += kFrames) {
        const int n = int(std::min<size_t>(kFrames, frames - at));
        for (int i = 0; i < n; ++i) {
            left[i] = d.audio.samples[(at + i) * 2];
            right[i] = d.audio.samples[(at + i) * 2 + 1];
        }
        const float* channels[] = {left.data(), right.data()};
        stream->append(AudioBuffer{channels, 2, n, 48000});
        arrivals.push_back({double(at + n) / 48000, since(start)});
        if (arrivals.size() % 25 == 0) {
            peakResident = std::max(peakResident, residentMegabytes());
        }
        next += std::chrono::microseconds(int64_t(n * 1e6 / 48000));
        std::this_thread::sleep_until(next);
    }
    stream->end();
    worker.join();
    if (front.joinable()) {
        frontDone = true;
        front.join();
    }
    const double cpu = processCpuSeconds() - cpuStart - frontCpu;
    if (kFront) {
        std::printf("  a busy application thread beside it got %.2f of a core\n",
                    frontCpu / since(start));
    }

    if (qEnvironmentVariableIsSet("SONAREL_BENCH_VERBOSE")) {
        for (const Observed& o : observed) {
            std::printf("    at %6.2f covered %6.2f cost %.3f %s\n", o.at, o.covered, o.cost,
                        o.partial ? "partial" : "commit");
        }
    }
    // Lag of every 20 ms of speech: from its arrival to the first result that covers it.
    std::vector<double> lags;
    std::vector<std::pair<double, double>> worst;  // lag, audio time
    for (const auto& [from, to] : d.speech) {
        for (double t = from; t + 0.02 <= to; t += 0.02) {
            const auto arrival =
                std::lower_bound(arrivals.begin(), arrivals.end(), std::make_pair(t + 0.02, 0.0));
            if (arrival == arrivals.end()) {
                continue;
            }
            for (const Observed& o : observed) {
                if (o.covered >= t + 0.02 && o.at >= arrival->second) {
                    lags.push_back(o.at - arrival->second);
                    worst.push_back({o.at - arrival->second, t});
                    break;
                }
            }
        }
    }
    if (qEnvironmentVariableIsSet("SONAREL_BENCH_VERBOSE")) {
        std::sort(worst.rbegin(), worst.rend());
        for (size_t i = 0; i < std::min<size_t>(8, worst.size()); ++i) {
            std::printf("    lag %.2f s for the audio at %.2f s\n", worst[i].first,
                        worst[i].second);
        }
    }
    std::vector<double> early, late, all;
    size_t partials = 0;
    for (const Observed& o : observed) {
        if (o.partial) {
            ++partials;
            all.push_back(o.cost);
            if (o.at < 10) {
                early.push_back(o.cost);
            } else if (o.at > double(frames) / 48000 - 10) {
                late.push_back(o.cost);
            }
        }
    }
    std::vector<double> gaps;
    for (size_t i = 1; i < observed.size(); ++i) {
        gaps.push_back(observed[i].at - observed[i - 1].at);
    }
    std::printf(
        "  live (%.0f s task, %d threads, %zu results, %zu partials): partial lag p50 %.2f s, "
        "p95 %.2f s, max %.2f s\n",
        double(frames) / 48000, tuning.threads > 0 ? tuning.threads : kThreads, observed.size(),
        partials, percentile(lags, 0.5), percentile(lags, 0.95), percentile(lags, 1.0));
    std::printf(
        "  partial cost: mean %.3f s; first 10 s mean %.3f s p95 %.3f s (%zu); last 10 s mean "
        "%.3f s p95 %.3f s (%zu)\n",
        all.empty() ? 0 : std::accumulate(all.begin(), all.end(), 0.0) / all.size(),
        early.empty() ? 0 : std::accumulate(early.begin(), early.end(), 0.0) / early.size(),
        percentile(early, 0.95), early.size(),
        late.empty() ? 0 : std::accumulate(late.begin(), late.end(), 0.0) / late.size(),
        percentile(late, 0.95), late.size());
    std::printf(
        "  CPU %.1f s in the %.0f s task: %.2f cores while dictating; resident memory %.0f MB "
        "peak (longest utterance %.0f s)\n",
        cpu, double(frames) / 48000, cpu / (double(frames) / 48000), peakResident,
        tuning.longestUtterance);
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
        (a == "tiny" || a == "base" || a == "small" || a.startsWith("parakeet") ? shapes : parts)
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
        const QString path = modelFor(shape);
        if (path.isEmpty()) {
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
                live(path, task);
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
