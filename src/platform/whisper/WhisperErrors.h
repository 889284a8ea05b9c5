#pragma once

#include "platform/SpeechService.h"

#include <QString>

namespace sonarel::whisper {

inline const QString kErrorDomain = QStringLiteral("sonarel.whisper");

// Codes of the errors this recognizer reports. 1110 keeps the meaning the engine gives it: the
// task ended without hearing any speech.
enum ErrorCode : long {
    kNoSpeech = 1110,
    kFileMissing = 2001,
    kFileNotRegular = 2002,
    kFileUnreadable = 2003,
    kFileEmpty = 2004,
    kFileUndecodable = 2005,
    kFileBadFormat = 2006,
    kFileTooLong = 2007,
    kRecognitionFailed = 2010,
};

inline RecognitionError makeError(long code, QString description) {
    return RecognitionError{code, kErrorDomain, std::move(description)};
}

}  // namespace sonarel::whisper
