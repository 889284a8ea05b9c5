#pragma once

#include <QString>

namespace sonarel::spoken {

// Appends one recognized utterance to `before` as `text::join` does when it holds no command;
// otherwise with its spoken punctuation and layout commands
// in Spanish ("coma", "punto y aparte", "abre interrogación"…) turned into their signs: the sign
// replaces the words and sits against its neighbours as written punctuation does, a capital
// follows a sentence's end (also one that ends `before`), and punctuation the recognizer already
// put around the words is not doubled. A command word stays a word where the context says it is
// one: after an article, a determiner or a preposition ("el punto", "una coma", "a las dos en
// punto"), and, for "punto", "coma", "guion" and "dos puntos", before "de", "que", "en", a
// number… ("punto de vista"), unless the recognizer marked a pause right after it.
QString append(const QString& before, const QString& utterance);

}  // namespace sonarel::spoken
