// The live figures of whisper_bench, for one model or a fast and an accurate one.
#include "LiveFigures.h"

#include "BenchModels.h"
#include "platform/whisper/LiveTask.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <mutex>
#include <numeric>
#include <thread>
#include <vector>

namespace sonarel::testing {

namespace {

using Clock = std::chrono::steady_clock;

double since(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

struct Costs {
    std::mutex lock;
    std::vector<double> partial, partialCpu, accurate, accurateCpu;
};

// A model whose decodings are timed.
class Timed : public whisper::RecognitionModel {
public:
    Timed(std::shared_ptr<RecognitionModel> model, std::shared_ptr<Costs> costs, bool partial)
        : model_(std::move(model)), costs_(std::move(costs)), partial_(partial) {}
    Decoded decode(const Decoding& decoding) override {
        const auto start = Clock::now();
        Decoded decoded = model_->decode(decoding);
        const double took = since(start);
        std::lock_guard guard(costs_->lock);
        (partial_ ? costs_->partial : costs_->accurate).push_back(took);
        (partial_ ? costs_->partialCpu : costs_->accurateCpu).push_back(decoded.cpuSeconds);
        return decoded;
    }

private:
    std::shared_ptr<RecognitionModel> model_;
    std::shared_ptr<Costs> costs_;
    const bool partial_;
};

}  // namespace

void liveFigures(const LiveModels& models, const Dictation& d, bool withFront) {
    // Each model's decodings, timed, when there are two.
    auto costs = std::make_shared<Costs>();
    std::shared_ptr<whisper::RecognitionModel> model = models.accurate;
    std::shared_ptr<whisper::ModelLoad> partialLoad;
    if (models.partial) {
        model = std::make_shared<Timed>(models.accurate, costs, false);
        partialLoad = whisper::ModelLoad::finished(
            models.partialPath, std::make_shared<Timed>(models.partial, costs, true));
    }
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
        stream, whisper::ModelLoad::finished(models.accuratePath, model), "es", true,
        [](auto, auto) {}, tuning, {}, partialLoad);
    const double cpuStart = whisper::processCpuSeconds();
    std::thread worker([&] { job.run(); });
    // The application in front, busy all along at the desktop's priority.
    std::atomic<bool> frontDone{false};
    std::atomic<double> frontCpu{0};
    std::thread front;
    if (withFront) {
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
    const double cpu = whisper::processCpuSeconds() - cpuStart - frontCpu;
    if (withFront) {
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
        double(frames) / 48000, tuning.threads > 0 ? tuning.threads : models.threads,
        observed.size(), partials, percentile(lags, 0.5), percentile(lags, 0.95),
        percentile(lags, 1.0));
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
    if (models.partial) {
        std::lock_guard guard(costs->lock);
        for (const bool partial : {true, false}) {
            const std::vector<double>& seconds = partial ? costs->partial : costs->accurate;
            const std::vector<double>& cpu = partial ? costs->partialCpu : costs->accurateCpu;
            std::printf(
                "  %s model: %zu decodings, mean %.3f s p95 %.3f s max %.3f s, %.1f CPU s\n",
                partial ? "partial (fast)" : "final (accurate)", seconds.size(),
                seconds.empty()
                    ? 0
                    : std::accumulate(seconds.begin(), seconds.end(), 0.0) / double(seconds.size()),
                percentile(seconds, 0.95), percentile(seconds, 1.0),
                std::accumulate(cpu.begin(), cpu.end(), 0.0));
        }
    }
}

}  // namespace sonarel::testing
