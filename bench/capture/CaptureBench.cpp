// Start of capture to first buffer, and the CPU that capture costs, on the default source.
//   scripts/test-desktop build/release/bench/capture/capture_bench [SECONDS_OF_CAPTURE]
#include "engine/Level.h"
#include "platform/pulse/PulseAudioInput.h"

#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double cpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// CPU seconds used so far by another process (the sound server), or a negative value.
double processCpuSeconds(const char* pid) {
    std::ifstream stat(std::string("/proc/") + pid + "/stat");
    std::string field;
    for (int i = 1; i <= 15 && stat >> field; ++i) {
        static long utime = 0;
        if (i == 14) {
            utime = std::stol(field);
        } else if (i == 15) {
            return static_cast<double>(utime + std::stol(field)) / sysconf(_SC_CLK_TCK);
        }
    }
    return -1;
}

}  // namespace

int main(int argc, char** argv) {
    using namespace sonarel;
    const double captureSeconds = argc > 1 ? std::atof(argv[1]) : 20;

    PulseConnection pulse;
    PulseAudioInput input(pulse);
    const Clock::time_point connecting = Clock::now();
    const AudioFormat format = input.inputFormat();
    const double connectMs =
        std::chrono::duration<double, std::milli>(Clock::now() - connecting).count();
    if (format.sampleRate <= 0) {
        std::fprintf(stderr, "no usable default source\n");
        return 1;
    }
    std::printf("default source: %.0f Hz, %d channels; buffers of 2048 frames (%.1f ms)\n",
                format.sampleRate, format.channelCount, 2048 / format.sampleRate * 1000);
    std::printf("connecting and asking the format: %.1f ms\n", connectMs);

    std::mutex mutex;
    std::condition_variable arrived;
    Clock::time_point firstBuffer;
    bool seen = false;
    long buffers = 0;
    // The engine's own work per buffer: the level of the first channel.
    volatile float level = 0;
    input.installTap(
        2048, format,
        [&](const AudioBuffer& buffer) {
            level = level::rmsOfFirstChannel(buffer);
            std::lock_guard lock(mutex);
            ++buffers;
            if (!seen) {
                seen = true;
                firstBuffer = Clock::now();
                arrived.notify_all();
            }
        },
        [](const QString&) {});

    constexpr int kStarts = 20;
    std::vector<double> delays;
    for (int i = 0; i < kStarts; ++i) {
        {
            std::lock_guard lock(mutex);
            seen = false;
        }
        const Clock::time_point started = Clock::now();
        if (const auto failure = input.start()) {
            std::fprintf(stderr, "start failed: %s\n", qPrintable(*failure));
            return 1;
        }
        std::unique_lock lock(mutex);
        if (!arrived.wait_for(lock, std::chrono::seconds(5), [&] { return seen; })) {
            std::fprintf(stderr, "no buffer within 5 s\n");
            return 1;
        }
        delays.push_back(std::chrono::duration<double, std::milli>(firstBuffer - started).count());
        lock.unlock();
        input.stop();
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    std::vector<double> sorted = delays;
    std::sort(sorted.begin(), sorted.end());
    std::printf(
        "start to first buffer over %d starts: p50 %.1f ms, max %.1f ms (first start "
        "%.1f ms)\n",
        kStarts, sorted[sorted.size() / 2], sorted.back(), delays.front());

    // The sound server's own cost without our capture, to tell what our stream adds to it.
    const char* serverPid = std::getenv("SONAREL_TEST_PULSE_PID");
    double serverIdlePerMinute = -1;
    if (serverPid != nullptr) {
        const double idleSeconds = std::min(captureSeconds, 10.0);
        const double idleBefore = processCpuSeconds(serverPid);
        std::this_thread::sleep_for(std::chrono::duration<double>(idleSeconds));
        serverIdlePerMinute = (processCpuSeconds(serverPid) - idleBefore) / idleSeconds * 60;
    }
    const double serverBefore = serverPid != nullptr ? processCpuSeconds(serverPid) : -1;
    const double before = cpuSeconds();
    {
        std::lock_guard lock(mutex);
        buffers = 0;
    }
    const Clock::time_point captureStart = Clock::now();
    if (input.start()) {
        return 1;
    }
    std::this_thread::sleep_for(std::chrono::duration<double>(captureSeconds));
    input.stop();
    const double wall = std::chrono::duration<double>(Clock::now() - captureStart).count();
    const double used = cpuSeconds() - before;
    long captured = 0;
    {
        std::lock_guard lock(mutex);
        captured = buffers;
    }
    std::printf(
        "capture for %.1f s: %ld buffers (%.2f s of audio); CPU %.3f s, that is %.2f s "
        "per minute (%.2f %% of one core)\n",
        wall, captured, captured * 2048 / format.sampleRate, used, used / wall * 60,
        used / wall * 100);
    if (serverBefore >= 0) {
        const double server = processCpuSeconds(serverPid) - serverBefore;
        std::printf(
            "sound server meanwhile: CPU %.2f s per minute (%.2f s without our "
            "capture)\n",
            server / wall * 60, serverIdlePerMinute);
    }
    input.removeTap();
    return 0;
}
