#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace sonarel::doubles {

// A thread of its own that runs jobs in order, standing in for a platform service's queue.
class SerialWorker {
public:
    SerialWorker();
    ~SerialWorker();
    SerialWorker(const SerialWorker&) = delete;
    SerialWorker& operator=(const SerialWorker&) = delete;

    void run(std::function<void()> job);
    // Blocks until every job queued so far has run.
    void waitIdle();

private:
    void loop();

    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<std::function<void()>> jobs_;
    bool busy_ = false;
    bool quitting_ = false;
    std::thread thread_;
};

}  // namespace sonarel::doubles
