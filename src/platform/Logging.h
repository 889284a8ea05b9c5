#pragma once

#include <QLoggingCategory>

// Where each part of the program reports what went wrong. Debug messages are off unless
// QT_LOGGING_RULES turns them on (e.g. "sonarel.*.debug=true"); warnings, printed by default, are
// kept for failures the user would want explained.
namespace sonarel {

Q_DECLARE_LOGGING_CATEGORY(logEngine)       // sonarel.engine: sessions and their failures
Q_DECLARE_LOGGING_CATEGORY(logAudio)        // sonarel.audio: the microphone and its stream
Q_DECLARE_LOGGING_CATEGORY(logRecognizer)   // sonarel.recognizer: the speech recognizer
Q_DECLARE_LOGGING_CATEGORY(logDesktop)      // sonarel.desktop: clipboard, keystrokes, shortcut
Q_DECLARE_LOGGING_CATEGORY(logHistory)      // sonarel.history: the history and saved texts
Q_DECLARE_LOGGING_CATEGORY(logModels)       // sonarel.models: model files and downloads
Q_DECLARE_LOGGING_CATEGORY(logPreferences)  // sonarel.preferences: the stored settings

}  // namespace sonarel
