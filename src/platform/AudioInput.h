#pragma once

#include <QString>

#include <functional>
#include <optional>

namespace sonarel {

struct AudioFormat {
    double sampleRate = 0;
    int channelCount = 0;
};

// One captured buffer, borrowed for the duration of the tap call. `channels` holds one array of
// `frameCount` 32-bit float samples per channel, or is null when the buffer holds no float samples.
struct AudioBuffer {
    const float* const* channels = nullptr;
    int channelCount = 0;
    int frameCount = 0;
    double sampleRate = 0;
};

// The microphone. The tap is called on the input's own capture thread. After `removeTap()`
// returns, the tap is not running and is never called again.
class AudioInput {
public:
    using Tap = std::function<void(const AudioBuffer&)>;
    // Called on the capture thread when a running input stops delivering for good (the device
    // went away, the sound server ended), with a short description of what happened.
    using Interruption = std::function<void(const QString& description)>;

    virtual ~AudioInput() = default;
    virtual AudioFormat inputFormat() = 0;
    virtual void installTap(int framesPerBuffer, AudioFormat format, Tap tap,
                            Interruption interrupted) = 0;
    virtual void removeTap() = 0;
    // Starts capture; answers the description of the failure, or nothing on success.
    virtual std::optional<QString> start() = 0;
    virtual bool isRunning() const = 0;
    // Ends capture; what the input still holds goes to the tap (on the caller's thread) first.
    virtual void stop() = 0;
};

// The user's consent to record. The answer may arrive on any thread, exactly once.
class MicrophoneConsent {
public:
    virtual ~MicrophoneConsent() = default;
    virtual void requestAccess(std::function<void(bool granted)> answer) = 0;
};

}  // namespace sonarel
