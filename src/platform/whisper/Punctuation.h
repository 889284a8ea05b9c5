#pragma once

#include <QString>

namespace sonarel::whisper {

// The text without its punctuation marks. Words keep their letters, accents and case; a mark
// between two letters or digits ("franco-alemán", "3,5") belongs to the word and stays.
QString withoutPunctuation(const QString& text);

}  // namespace sonarel::whisper
