#pragma once

#include "platform/AudioInput.h"
#include "platform/pulse/PulseConnection.h"
#include "platform/pulse/PulseSources.h"

#include <pulse/channelmap.h>

#include <atomic>
#include <mutex>
#include <string>
#include <vector>

struct pa_stream;

namespace sonarel {

// The microphone: the source the user chose, else the sound server's default one, recorded as
// 32-bit float samples in the source's own rate and channel count, and handed to the tap in buffers
// of the tap's frame count on libpulse's main loop thread; at `stop`, what is left goes to the tap,
// on the caller's thread, in one last shorter buffer. The source is never swapped under a running
// capture: when it goes away, or the server does, the capture ends and the interruption is
// reported.
class PulseAudioInput : public AudioInput {
public:
    explicit PulseAudioInput(PulseConnection& pulse);
    ~PulseAudioInput() override;

    // Rate 0 and no channels when the server cannot be reached or has no default source.
    AudioFormat inputFormat() override;
    void installTap(int framesPerBuffer, AudioFormat format, Tap tap,
                    Interruption interrupted) override;
    // Must not be called from inside the tap.
    void removeTap() override;
    std::optional<QString> start() override;
    bool isRunning() const override { return running_; }
    void stop() override;
    std::vector<AudioSource> sources() override;
    void chooseSource(const QString& name) override;
    bool choiceMissing() const override { return choiceMissing_; }

    // The server hands over recorded audio in fragments this long, so that the first buffer
    // follows the start by about its own length.
    static constexpr double kFragmentSeconds = 0.01;

private:
    struct Layout {
        AudioFormat format;
        int framesPerBuffer = 0;
    };

    pulse::FoundSource findChosenSource(pa_context* context);
    std::optional<QString> openStream(pa_context* context, const Layout& layout);
    void closeStream();
    // On the main loop thread, or under its lock.
    void readAvailable();
    void accumulate(const float* interleaved, int frames);
    // The first `frames` frames of each channel's run.
    void deliver(int frames);
    void streamStateChanged();

    PulseConnection& pulse_;

    // Under the connection's lock.
    pa_stream* stream_ = nullptr;
    pa_channel_map sourceMap_{};
    std::string chosen_;  // empty: the default source
    std::string device_;  // what the next stream records from; empty: the default source
    std::atomic<bool> choiceMissing_{false};
    std::atomic<bool> running_{false};

    // Capture state, laid out by `start` before the stream exists and then used only on the
    // main loop thread (or under its lock), so that no buffer allocates.
    Layout layout_;
    std::vector<float> samples_;  // one run of `framesPerBuffer` samples per channel
    std::vector<const float*> channels_;
    int filled_ = 0;

    // Held while the tap or the interruption runs, so that removeTap waits for them.
    std::mutex tapMutex_;
    Layout requested_;
    Tap tap_;
    Interruption interrupted_;
};

}  // namespace sonarel
