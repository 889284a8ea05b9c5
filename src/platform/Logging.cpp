#include "platform/Logging.h"

namespace sonarel {

Q_LOGGING_CATEGORY(logEngine, "sonarel.engine", QtInfoMsg)
Q_LOGGING_CATEGORY(logAudio, "sonarel.audio", QtInfoMsg)
Q_LOGGING_CATEGORY(logRecognizer, "sonarel.recognizer", QtInfoMsg)
Q_LOGGING_CATEGORY(logDesktop, "sonarel.desktop", QtInfoMsg)
Q_LOGGING_CATEGORY(logHistory, "sonarel.history", QtInfoMsg)
Q_LOGGING_CATEGORY(logModels, "sonarel.models", QtInfoMsg)
Q_LOGGING_CATEGORY(logPreferences, "sonarel.preferences", QtInfoMsg)

}  // namespace sonarel
