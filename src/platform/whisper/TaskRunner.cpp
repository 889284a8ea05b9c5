#include "platform/whisper/TaskRunner.h"

#include <sys/resource.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>

namespace sonarel::whisper {

void lowerThreadPriority(int steps) {
    // On Linux the nice value belongs to each thread, and new threads inherit it.
    const id_t thread = id_t(gettid());
    errno = 0;
    const int nice = getpriority(PRIO_PROCESS, thread);
    if (errno == 0) {
        setpriority(PRIO_PROCESS, thread, nice + steps);
    }
}

TaskRunner::~TaskRunner() {
    shutdown();
}

void TaskRunner::start(std::shared_ptr<Job> job) {
    std::lock_guard guard(lock_);
    reapFinished();
    if (closed_) {
        return;
    }
    auto done = std::make_shared<std::atomic<bool>>(false);
    std::thread thread([job, done] {
        job->run();
        done->store(true);
    });
    running_.push_back(Running{std::move(job), std::move(done), std::move(thread)});
}

void TaskRunner::shutdown() {
    std::vector<Running> running;
    {
        std::lock_guard guard(lock_);
        closed_ = true;
        running.swap(running_);
    }
    for (Running& r : running) {
        r.job->cancel();
    }
    for (Running& r : running) {
        r.thread.join();
    }
}

void TaskRunner::reapFinished() {
    for (auto it = running_.begin(); it != running_.end();) {
        if (it->done->load()) {
            it->thread.join();
            it = running_.erase(it);
        } else {
            ++it;
        }
    }
}

}  // namespace sonarel::whisper
