#include "platform/pulse/PulseAudioInput.h"

#include "platform/Logging.h"
#include "platform/pulse/PulseMessages.h"
#include "platform/pulse/PulseSources.h"

#include <pulse/context.h>
#include <pulse/error.h>
#include <pulse/introspect.h>
#include <pulse/stream.h>
#include <pulse/timeval.h>

#include <algorithm>
#include <string>

namespace sonarel {

PulseAudioInput::PulseAudioInput(PulseConnection& pulse) : pulse_(pulse) {}

PulseAudioInput::~PulseAudioInput() {
    stop();
    removeTap();
}

AudioFormat PulseAudioInput::inputFormat() {
    PulseConnection::Lock lock(pulse_);
    int error = 0;
    pa_context* context = pulse_.ready(error);
    if (context == nullptr) {
        qCDebug(logAudio) << "no sound server to ask for the input format:" << pa_strerror(error);
        return {};
    }
    const pulse::FoundSource source = findChosenSource(context);
    if (!source.found) {
        qCDebug(logAudio) << "the sound server names no default source";
        return {};
    }
    return {static_cast<double>(source.spec.rate), source.spec.channels};
}

std::vector<AudioSource> PulseAudioInput::sources() {
    PulseConnection::Lock lock(pulse_);
    int error = 0;
    pa_context* context = pulse_.ready(error);
    if (context == nullptr) {
        qCDebug(logAudio) << "no sound server to list the sources of:" << pa_strerror(error);
        return {};
    }
    return pulse::listSources(pulse_, context);
}

void PulseAudioInput::chooseSource(const QString& name) {
    PulseConnection::Lock lock(pulse_);
    chosen_ = name.toStdString();
}

// With the connection's lock held: the chosen source, or the default one when none is chosen or
// the chosen one is not there; the stream records from what this found last.
pulse::FoundSource PulseAudioInput::findChosenSource(pa_context* context) {
    pulse::FoundSource source = pulse::findSource(pulse_, context, chosen_);
    choiceMissing_ = !chosen_.empty() && !source.found;
    if (choiceMissing_) {
        qCInfo(logAudio) << "the chosen source" << chosen_.c_str()
                         << "is not there; recording from the default one";
        source = pulse::findSource(pulse_, context, {});
    }
    device_ = source.found && !choiceMissing_ ? source.name : std::string();
    sourceMap_ = source.map;
    return source;
}

void PulseAudioInput::installTap(int framesPerBuffer, AudioFormat format, Tap tap,
                                 Interruption interrupted) {
    std::lock_guard lock(tapMutex_);
    requested_ = {format, framesPerBuffer};
    tap_ = std::move(tap);
    interrupted_ = std::move(interrupted);
}

void PulseAudioInput::removeTap() {
    std::lock_guard lock(tapMutex_);
    tap_ = nullptr;
    interrupted_ = nullptr;
}

std::optional<QString> PulseAudioInput::start() {
    if (running_) {
        return std::nullopt;
    }
    PulseConnection::Lock lock(pulse_);
    // A capture that ended by itself leaves its stream behind until now.
    closeStream();
    int error = 0;
    pa_context* context = pulse_.ready(error);
    if (context == nullptr) {
        return pulse::describeConnectionFailure(error);
    }
    Layout layout;
    {
        std::lock_guard tapLock(tapMutex_);
        layout = requested_;
    }
    if (layout.format.sampleRate <= 0 || layout.format.channelCount <= 0) {
        const pulse::FoundSource source = findChosenSource(context);
        if (!source.found) {
            return pulse::kNoSource;
        }
        layout.format = {static_cast<double>(source.spec.rate), source.spec.channels};
    }
    layout.framesPerBuffer = std::max(layout.framesPerBuffer, 1);
    return openStream(context, layout);
}

std::optional<QString> PulseAudioInput::openStream(pa_context* context, const Layout& layout) {
    pa_sample_spec spec{PA_SAMPLE_FLOAT32NE, static_cast<uint32_t>(layout.format.sampleRate),
                        static_cast<uint8_t>(layout.format.channelCount)};
    if (pa_sample_spec_valid(&spec) == 0) {
        return pulse::kNoSource;
    }
    // The source's own channel map when the counts agree, so that the server does not remix.
    pa_channel_map map = sourceMap_;
    if (map.channels != spec.channels) {
        pa_channel_map_init_extend(&map, spec.channels, PA_CHANNEL_MAP_DEFAULT);
    }

    layout_ = layout;
    const auto runLength = static_cast<size_t>(layout.framesPerBuffer);
    samples_.assign(runLength * spec.channels, 0.0f);
    channels_.resize(spec.channels);
    for (size_t c = 0; c < channels_.size(); ++c) {
        channels_[c] = samples_.data() + c * runLength;
    }
    filled_ = 0;

    stream_ = pa_stream_new(context, "Dictado", &spec, &map);
    if (stream_ == nullptr) {
        return pulse::describeStreamFailure(pa_context_errno(context));
    }
    pa_stream_set_state_callback(
        stream_,
        [](pa_stream*, void* self) { static_cast<PulseAudioInput*>(self)->streamStateChanged(); },
        this);
    pa_stream_set_read_callback(
        stream_,
        [](pa_stream*, size_t, void* self) {
            static_cast<PulseAudioInput*>(self)->readAvailable();
        },
        this);
    pa_buffer_attr attributes;
    attributes.maxlength = static_cast<uint32_t>(-1);
    attributes.tlength = static_cast<uint32_t>(-1);
    attributes.prebuf = static_cast<uint32_t>(-1);
    attributes.minreq = static_cast<uint32_t>(-1);
    attributes.fragsize = static_cast<uint32_t>(
        pa_usec_to_bytes(static_cast<pa_usec_t>(kFragmentSeconds * PA_USEC_PER_SEC), &spec));
    // Without DONT_MOVE the server would quietly move the capture to another source when the
    // user's microphone goes away; the dictation ends instead, and says why.
    const auto flags =
        static_cast<pa_stream_flags_t>(PA_STREAM_ADJUST_LATENCY | PA_STREAM_DONT_MOVE);
    if (pa_stream_connect_record(stream_, device_.empty() ? nullptr : device_.c_str(), &attributes,
                                 flags) < 0) {
        const int error = pa_context_errno(context);
        closeStream();
        return pulse::describeStreamFailure(error);
    }
    const bool settled =
        pulse_.waitUntil([this] { return pa_stream_get_state(stream_) != PA_STREAM_CREATING; },
                         PulseConnection::kAnswerTimeout);
    if (!settled) {
        closeStream();
        return pulse::kServerSilent;
    }
    if (pa_stream_get_state(stream_) != PA_STREAM_READY) {
        const int error = pa_context_errno(context);
        closeStream();
        return pulse::describeStreamFailure(error);
    }
    running_ = true;
    return std::nullopt;
}

void PulseAudioInput::stop() {
    PulseConnection::Lock lock(pulse_);
    // What the server has already handed over, and the part-filled buffer, still go to the tap:
    // they are the last words before the stop.
    if (running_.exchange(false) && stream_ != nullptr &&
        PA_STREAM_IS_GOOD(pa_stream_get_state(stream_))) {
        readAvailable();
        if (filled_ > 0) {
            deliver(filled_);
            filled_ = 0;
        }
    }
    closeStream();
}

void PulseAudioInput::closeStream() {
    if (stream_ == nullptr) {
        return;
    }
    pa_stream_set_state_callback(stream_, nullptr, nullptr);
    pa_stream_set_read_callback(stream_, nullptr, nullptr);
    if (PA_STREAM_IS_GOOD(pa_stream_get_state(stream_))) {
        pa_stream_disconnect(stream_);
    }
    pa_stream_unref(stream_);
    stream_ = nullptr;
}

void PulseAudioInput::readAvailable() {
    const void* data = nullptr;
    size_t bytes = 0;
    const size_t frameBytes = sizeof(float) * channels_.size();
    while (pa_stream_peek(stream_, &data, &bytes) == 0 && bytes > 0) {
        // A hole in the recording (no data, but a length) is kept as silence.
        accumulate(static_cast<const float*>(data), static_cast<int>(bytes / frameBytes));
        pa_stream_drop(stream_);
    }
}

void PulseAudioInput::accumulate(const float* interleaved, int frames) {
    const int channelCount = static_cast<int>(channels_.size());
    const int runLength = layout_.framesPerBuffer;
    int taken = 0;
    while (taken < frames) {
        const int count = std::min(frames - taken, runLength - filled_);
        for (int c = 0; c < channelCount; ++c) {
            float* run = samples_.data() + static_cast<size_t>(c) * runLength + filled_;
            if (interleaved == nullptr) {
                std::fill_n(run, count, 0.0f);
                continue;
            }
            const float* from = interleaved + static_cast<size_t>(taken) * channelCount + c;
            for (int i = 0; i < count; ++i) {
                run[i] = from[static_cast<size_t>(i) * channelCount];
            }
        }
        taken += count;
        filled_ += count;
        if (filled_ == runLength) {
            deliver(runLength);
            filled_ = 0;
        }
    }
}

void PulseAudioInput::deliver(int frames) {
    AudioBuffer buffer;
    buffer.channels = channels_.data();
    buffer.channelCount = static_cast<int>(channels_.size());
    buffer.frameCount = frames;
    buffer.sampleRate = layout_.format.sampleRate;
    std::lock_guard lock(tapMutex_);
    if (tap_) {
        tap_(buffer);
    }
}

void PulseAudioInput::streamStateChanged() {
    pulse_.wake();
    const pa_stream_state_t state = pa_stream_get_state(stream_);
    if (PA_STREAM_IS_GOOD(state) || !running_.exchange(false)) {
        return;
    }
    const bool serverLost =
        pa_context_get_state(pa_stream_get_context(stream_)) != PA_CONTEXT_READY;
    const QString description = serverLost ? pulse::kServerLost : pulse::kSourceLost;
    qCWarning(logAudio) << "the capture stream ended:"
                        << pa_strerror(pa_context_errno(pa_stream_get_context(stream_)));
    std::lock_guard lock(tapMutex_);
    if (interrupted_) {
        interrupted_(description);
    }
}

}  // namespace sonarel
