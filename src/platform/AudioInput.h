#pragma once

#include <QString>

#include <functional>
#include <optional>
#include <vector>

namespace sonarel {

struct AudioFormat {
    double sampleRate = 0;
    int channelCount = 0;
};

// A source the sound server can record from: its name, and the description the desktop shows.
struct AudioSource {
    QString name;
    QString description;

    friend bool operator==(const AudioSource&, const AudioSource&) = default;
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

    // The microphones there are now (never the outputs' monitors), or none when the server
    // cannot be reached.
    virtual std::vector<AudioSource> sources() = 0;
    // The source `inputFormat` and `start` use from now on; empty: the desktop's default. A
    // chosen source that is missing then leaves the default in its place, which
    // `choiceMissing` tells until a start finds the chosen one again.
    virtual void chooseSource(const QString& name) = 0;
    virtual bool choiceMissing() const = 0;
};

// The user's consent to record. The answer may arrive on any thread, exactly once.
class MicrophoneConsent {
public:
    virtual ~MicrophoneConsent() = default;
    virtual void requestAccess(std::function<void(bool granted)> answer) = 0;
};

}  // namespace sonarel
