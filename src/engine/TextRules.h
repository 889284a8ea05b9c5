#pragma once

#include <QString>

namespace sonarel::text {

// A and B with one space between them, unless either is empty or A already ends in a space or
// a line feed. Never removes characters.
QString join(const QString& a, const QString& b);

// Runs of user-perceived characters between spaces and newlines; tabs do not separate words.
int wordCount(const QString& text);

// True when the text is empty once Unicode spaces, tabs and newlines are trimmed from its ends.
bool isBlank(const QString& text);

}  // namespace sonarel::text
