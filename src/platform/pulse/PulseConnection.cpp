#include "platform/pulse/PulseConnection.h"

#include <pulse/context.h>
#include <pulse/error.h>
#include <pulse/proplist.h>
#include <pulse/thread-mainloop.h>
#include <pulse/timeval.h>

#include <chrono>

namespace sonarel {
namespace {

void wakeMainloop(pa_mainloop_api*, pa_time_event*, const timeval*, void* mainloop) {
    pa_threaded_mainloop_signal(static_cast<pa_threaded_mainloop*>(mainloop), 0);
}

}  // namespace

PulseConnection::PulseConnection(std::string server)
    : server_(std::move(server)), mainloop_(pa_threaded_mainloop_new()) {
    if (mainloop_ == nullptr) {
        return;
    }
    // Named before it starts: naming a running loop renames the calling thread instead.
    pa_threaded_mainloop_set_name(mainloop_, "sonarel-audio");
    // Without a main loop (no thread could be made) every connection fails instead.
    if (pa_threaded_mainloop_start(mainloop_) < 0) {
        pa_threaded_mainloop_free(mainloop_);
        mainloop_ = nullptr;
    }
}

PulseConnection::~PulseConnection() {
    if (mainloop_ == nullptr) {
        return;
    }
    {
        Lock lock(*this);
        disconnect();
    }
    pa_threaded_mainloop_stop(mainloop_);
    pa_threaded_mainloop_free(mainloop_);
}

PulseConnection::Lock::Lock(PulseConnection& connection)
    : mainloop_(connection.mainloop_),
      locked_(mainloop_ != nullptr && !pa_threaded_mainloop_in_thread(mainloop_)) {
    if (locked_) {
        pa_threaded_mainloop_lock(mainloop_);
    }
}

PulseConnection::Lock::~Lock() {
    if (locked_) {
        pa_threaded_mainloop_unlock(mainloop_);
    }
}

pa_context* PulseConnection::ready(int& error) {
    if (context_ != nullptr && pa_context_get_state(context_) == PA_CONTEXT_READY) {
        return context_;
    }
    disconnect();
    if (mainloop_ == nullptr) {
        error = PA_ERR_INTERNAL;
        return nullptr;
    }
    pa_proplist* properties = pa_proplist_new();
    pa_proplist_sets(properties, PA_PROP_APPLICATION_NAME, "Sonarel");
    pa_proplist_sets(properties, PA_PROP_APPLICATION_ID, "sonarel");
    pa_proplist_sets(properties, PA_PROP_APPLICATION_ICON_NAME, "audio-input-microphone");
    context_ = pa_context_new_with_proplist(pa_threaded_mainloop_get_api(mainloop_), "Sonarel",
                                            properties);
    pa_proplist_free(properties);
    if (context_ == nullptr) {
        error = PA_ERR_INTERNAL;
        return nullptr;
    }
    pa_context_set_state_callback(
        context_, [](pa_context*, void* self) { static_cast<PulseConnection*>(self)->wake(); },
        this);
    // No autospawn: starting the sound server belongs to the desktop session, not to us.
    const char* server = server_.empty() ? nullptr : server_.c_str();
    if (pa_context_connect(context_, server, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0) {
        error = pa_context_errno(context_);
        disconnect();
        return nullptr;
    }
    const bool settled = waitUntil(
        [this] {
            const pa_context_state_t state = pa_context_get_state(context_);
            return state == PA_CONTEXT_READY || !PA_CONTEXT_IS_GOOD(state);
        },
        kAnswerTimeout);
    if (!settled) {
        error = PA_ERR_TIMEOUT;
        disconnect();
        return nullptr;
    }
    if (pa_context_get_state(context_) != PA_CONTEXT_READY) {
        error = pa_context_errno(context_);
        disconnect();
        return nullptr;
    }
    return context_;
}

bool PulseConnection::waitUntil(const std::function<bool()>& done, double seconds) {
    using Clock = std::chrono::steady_clock;
    const Clock::time_point deadline = Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                                          std::chrono::duration<double>(seconds));
    // A timer on the main loop wakes the wait at the deadline even when nothing else happens.
    pa_mainloop_api* api = pa_threaded_mainloop_get_api(mainloop_);
    pa_time_event* alarm = nullptr;
    bool held = done();
    while (!held) {
        const Clock::time_point now = Clock::now();
        if (now >= deadline) {
            break;
        }
        timeval when;
        pa_timeval_add(
            pa_gettimeofday(&when),
            std::chrono::duration_cast<std::chrono::microseconds>(deadline - now).count());
        if (alarm == nullptr) {
            alarm = api->time_new(api, &when, wakeMainloop, mainloop_);
        } else {
            api->time_restart(alarm, &when);
        }
        pa_threaded_mainloop_wait(mainloop_);
        held = done();
    }
    if (alarm != nullptr) {
        api->time_free(alarm);
    }
    return held;
}

void PulseConnection::wake() {
    pa_threaded_mainloop_signal(mainloop_, 0);
}

void PulseConnection::disconnect() {
    if (context_ == nullptr) {
        return;
    }
    pa_context_set_state_callback(context_, nullptr, nullptr);
    pa_context_disconnect(context_);
    pa_context_unref(context_);
    context_ = nullptr;
}

}  // namespace sonarel
