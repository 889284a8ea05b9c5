#pragma once

#include "platform/SpeechService.h"

#include <atomic>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace sonarel::whisper {

// Lowers the calling thread's scheduling priority by `steps` nice levels (and so that of the
// threads it starts), so that recognition yields the processor to the desktop.
void lowerThreadPriority(int steps);

// Work that runs on a thread of its own until it ends or is cancelled.
class Job {
public:
    virtual ~Job() = default;
    virtual void run() = 0;
    virtual void cancel() = 0;
};

// The handler of a task, which nothing reaches once the task is cancelled: `cancel` waits for a
// delivery under way, and no delivery starts after it.
class Delivery {
public:
    explicit Delivery(RecognitionHandler handler) : handler_(std::move(handler)) {}
    void cancel() {
        std::lock_guard guard(lock_);
        cancelled_.store(true);
    }
    bool isCancelled() const { return cancelled_.load(); }
    const std::atomic<bool>* cancelledFlag() const { return &cancelled_; }
    void operator()(std::optional<RecognitionResult> result,
                    std::optional<RecognitionError> error = std::nullopt) {
        std::lock_guard guard(lock_);
        if (!cancelled_.load()) {
            handler_(std::move(result), std::move(error));
        }
    }

private:
    std::recursive_mutex lock_;  // a handler may cancel its own task
    std::atomic<bool> cancelled_{false};
    RecognitionHandler handler_;
};

// A task handle whose `cancel` reaches its job.
class JobTask : public RecognitionTask {
public:
    explicit JobTask(std::shared_ptr<Job> job) : job_(std::move(job)) {}
    void cancel() override { job_->cancel(); }

private:
    std::shared_ptr<Job> job_;
};

// Runs each job on its own thread, so that a task keeps going after its handle is dropped, and
// cancels and joins whatever still runs when the service goes away.
class TaskRunner {
public:
    ~TaskRunner();
    void start(std::shared_ptr<Job> job);
    void shutdown();

private:
    struct Running {
        std::shared_ptr<Job> job;
        std::shared_ptr<std::atomic<bool>> done;
        std::thread thread;
    };
    void reapFinished();

    std::mutex lock_;
    std::vector<Running> running_;
    bool closed_ = false;
};

}  // namespace sonarel::whisper
