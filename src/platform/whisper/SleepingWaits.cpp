#include "platform/whisper/SleepingWaits.h"

#include "platform/Logging.h"

#include <unistd.h>
#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace sonarel::whisper {

namespace {
constexpr const char* kWaitPolicy = "OMP_WAIT_POLICY";
}

void restartWithSleepingWaits(char* argv[]) {
    if (std::getenv(kWaitPolicy)) {
        return;
    }
    // Set before the restart, so that the new image does not restart again.
    if (setenv(kWaitPolicy, "passive", 1) != 0) {
        return;
    }
    execv("/proc/self/exe", argv);
    qCWarning(logRecognizer, "could not restart with sleeping thread waits: %s",
              std::strerror(errno));
}

}  // namespace sonarel::whisper
