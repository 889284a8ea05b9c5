#pragma once

#include "platform/whisper/WhisperModel.h"

#include <whisper.h>

namespace sonarel::whisper {

// How whisper.cpp runs `decoding` with `threads` threads: greedy, one segment of text without
// timestamps, no fallback to higher temperatures, its encoder context and token bound, and
// stopping when its cancel flag is raised. The prompt is the caller's to add.
whisper_full_params decodingParams(const WhisperModel::Decoding& decoding, int threads);

}  // namespace sonarel::whisper
