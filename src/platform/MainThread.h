#pragma once

#include <QCoreApplication>
#include <QMetaObject>

#include <utility>

namespace sonarel {

// Queues `job` on the main thread's event loop; callable from any thread. Jobs run in the order
// they were posted. Callers that need a weak reference capture a QPointer and test it in the job.
template <typename Job>
void postToMain(Job&& job) {
    QMetaObject::invokeMethod(QCoreApplication::instance(), std::forward<Job>(job),
                              Qt::QueuedConnection);
}

}  // namespace sonarel
