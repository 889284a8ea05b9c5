#pragma once

#include <functional>
#include <string>

struct pa_context;
struct pa_threaded_mainloop;

namespace sonarel {

// One connection to the sound server through libpulse's threaded main loop, shared by the audio
// input and the microphone consent. The connection is made on first use, and made anew when the
// server went away meanwhile (restarted, or not yet running at the previous attempt).
class PulseConnection {
public:
    // `server` names a server as libpulse does ("unix:/path/native", "tcp:host:port"); empty
    // means the desktop's own sound server.
    explicit PulseConnection(std::string server = {});
    ~PulseConnection();
    PulseConnection(const PulseConnection&) = delete;
    PulseConnection& operator=(const PulseConnection&) = delete;

    // Every libpulse call, and every field that libpulse callbacks touch, is used under the main
    // loop's lock. Taking it on the main loop's own thread (inside a callback) is a no-op there,
    // because callbacks already run with it held.
    class Lock {
    public:
        explicit Lock(PulseConnection& connection);
        ~Lock();
        Lock(const Lock&) = delete;
        Lock& operator=(const Lock&) = delete;

    private:
        pa_threaded_mainloop* mainloop_;
        bool locked_;
    };

    // With the lock held: the ready context, connecting first when needed; or null, with the
    // libpulse error code of the failure in `error`.
    pa_context* ready(int& error);

    // With the lock held: waits, releasing the lock meanwhile, until `done` holds (true) or
    // `seconds` have passed (false). Callbacks that change what `done` reads call `wake()`.
    bool waitUntil(const std::function<bool()>& done, double seconds);
    void wake();

    // How long the sound server may take to answer before it counts as not responding.
    static constexpr double kAnswerTimeout = 3.0;

private:
    void disconnect();

    const std::string server_;
    pa_threaded_mainloop* mainloop_;
    pa_context* context_ = nullptr;
};

}  // namespace sonarel
