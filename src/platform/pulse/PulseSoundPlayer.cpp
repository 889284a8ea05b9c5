#include "platform/pulse/PulseSoundPlayer.h"

#include "platform/Logging.h"

#include <pulse/context.h>
#include <pulse/error.h>
#include <pulse/proplist.h>
#include <pulse/stream.h>
#include <pulse/timeval.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <utility>

namespace sonarel {
namespace {

// The stream's target latency: the sound starts at once, even on an output that would otherwise
// buffer seconds ahead.
constexpr double kLatencySeconds = 0.04;
// The soft start and end of each note, so that neither clicks; between them it fades away.
constexpr double kAttackSeconds = 0.005;
constexpr double kReleaseSeconds = 0.01;
constexpr double kDecaySeconds = 0.035;

static_assert(2 * PulseSoundPlayer::kNoteSeconds + PulseSoundPlayer::kGapSeconds <=
              SoundPlayer::kLongest);

void appendNote(std::vector<float>& samples, double pitch) {
    const int frames = static_cast<int>(PulseSoundPlayer::kNoteSeconds * PulseSoundPlayer::kRate);
    for (int i = 0; i < frames; ++i) {
        const double t = static_cast<double>(i) / PulseSoundPlayer::kRate;
        const double left = PulseSoundPlayer::kNoteSeconds - t;
        const double attack =
            t < kAttackSeconds ? 0.5 - 0.5 * std::cos(std::numbers::pi * t / kAttackSeconds) : 1.0;
        const double release = left < kReleaseSeconds
                                   ? 0.5 - 0.5 * std::cos(std::numbers::pi * left / kReleaseSeconds)
                                   : 1.0;
        const double envelope = attack * release * std::exp(-t / kDecaySeconds);
        samples.push_back(static_cast<float>(PulseSoundPlayer::kPeak * envelope *
                                             std::sin(2 * std::numbers::pi * pitch * t)));
    }
}

}  // namespace

std::vector<float> PulseSoundPlayer::synthesise(Sound sound) {
    const bool rising = sound == Sound::Start;
    std::vector<float> samples;
    appendNote(samples, rising ? kLowNote : kHighNote);
    samples.resize(samples.size() + static_cast<size_t>(kGapSeconds * kRate), 0.0f);
    appendNote(samples, rising ? kHighNote : kLowNote);
    return samples;
}

PulseSoundPlayer::PulseSoundPlayer(PulseConnection& pulse)
    : pulse_(pulse), start_(synthesise(Sound::Start)), stop_(synthesise(Sound::Stop)) {}

PulseSoundPlayer::~PulseSoundPlayer() {
    PulseConnection::Lock lock(pulse_);
    // A stream the server has not made yet cannot be taken back: it would be made later and stay.
    pulse_.waitUntil(
        [this] {
            return std::none_of(playing_.begin(), playing_.end(), [](const auto& playing) {
                return pa_stream_get_state(playing->stream) == PA_STREAM_CREATING;
            });
        },
        PulseConnection::kAnswerTimeout);
    while (!playing_.empty()) {
        end(playing_.back().get());
    }
}

void PulseSoundPlayer::play(Sound sound) {
    PulseConnection::Lock lock(pulse_);
    int error = 0;
    pa_context* context = pulse_.ready(error);
    if (context == nullptr) {
        qCDebug(logAudio) << "no sound server to play a sound on:" << pa_strerror(error);
        return;
    }
    const pa_sample_spec spec{PA_SAMPLE_FLOAT32NE, kRate, 1};
    pa_proplist* properties = pa_proplist_new();
    pa_proplist_sets(properties, PA_PROP_MEDIA_ROLE, "event");
    const char* name = sound == Sound::Start ? "Sonido al empezar" : "Sonido al parar";
    pa_stream* stream = pa_stream_new_with_proplist(context, name, &spec, nullptr, properties);
    pa_proplist_free(properties);
    if (stream == nullptr) {
        qCDebug(logAudio) << "cannot make a stream for a sound:"
                          << pa_strerror(pa_context_errno(context));
        return;
    }
    auto* playing = playing_
                        .emplace_back(std::make_unique<Playing>(
                            Playing{this, stream, sound == Sound::Start ? &start_ : &stop_}))
                        .get();
    pa_stream_set_state_callback(
        stream,
        [](pa_stream*, void* data) {
            auto* playing = static_cast<Playing*>(data);
            playing->player->stateChanged(playing);
        },
        playing);
    pa_buffer_attr attributes;
    attributes.maxlength = static_cast<uint32_t>(-1);
    attributes.tlength = static_cast<uint32_t>(
        pa_usec_to_bytes(static_cast<pa_usec_t>(kLatencySeconds * PA_USEC_PER_SEC), &spec));
    attributes.prebuf = static_cast<uint32_t>(-1);
    attributes.minreq = static_cast<uint32_t>(-1);
    attributes.fragsize = static_cast<uint32_t>(-1);
    if (pa_stream_connect_playback(stream, nullptr, &attributes, PA_STREAM_ADJUST_LATENCY, nullptr,
                                   nullptr) < 0) {
        qCDebug(logAudio) << "cannot play a sound:" << pa_strerror(pa_context_errno(context));
        end(playing);
    }
}

// Once the server has the stream, the whole sound goes at once, and the stream goes when it has
// played out (or failed).
void PulseSoundPlayer::stateChanged(Playing* playing) {
    pa_stream* stream = playing->stream;
    const pa_stream_state_t state = pa_stream_get_state(stream);
    if (state == PA_STREAM_READY) {
        const std::vector<float>& samples = *playing->samples;
        if (pa_stream_write(stream, samples.data(), samples.size() * sizeof(float), nullptr, 0,
                            PA_SEEK_RELATIVE) < 0) {
            end(playing);
            return;
        }
        playing->drain = pa_stream_drain(
            stream,
            [](pa_stream*, int, void* data) {
                auto* playing = static_cast<Playing*>(data);
                pa_operation_unref(std::exchange(playing->drain, nullptr));
                playing->player->end(playing);
            },
            playing);
        if (playing->drain == nullptr) {
            end(playing);
        }
    } else if (!PA_STREAM_IS_GOOD(state)) {
        end(playing);
    }
}

void PulseSoundPlayer::end(Playing* playing) {
    pa_stream* stream = playing->stream;
    pa_stream_set_state_callback(stream, nullptr, nullptr);
    // The stream outlives this until the server has let it go; its drain must not call back.
    if (playing->drain != nullptr) {
        pa_operation_cancel(playing->drain);
        pa_operation_unref(playing->drain);
    }
    if (PA_STREAM_IS_GOOD(pa_stream_get_state(stream))) {
        pa_stream_disconnect(stream);
    }
    pa_stream_unref(stream);
    std::erase_if(playing_, [playing](const auto& p) { return p.get() == playing; });
}

}  // namespace sonarel
