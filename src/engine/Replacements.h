#pragma once

#include <QList>
#include <QString>

namespace sonarel {

// The user's own spellings: what the recognizer writes for what they say ("dices") and how they
// want it written ("se escribe").
struct Replacement {
    QString dices;
    QString escribe;
};

namespace text {

// Replaces every whole-word occurrence of each `dices`, whatever its case, by its `escribe`,
// following the case it was heard in: "Dices" gives "Se escribe", "DICES" gives "SE ESCRIBE",
// any other case gives `escribe` as written. Earlier pairs go first.
QString replaced(QString text, const QList<Replacement>& replacements);

// One pair a line, "dices → se escribe" (also "->" or "=>"); lines without an arrow or with an
// empty side are skipped.
QList<Replacement> parseReplacements(const QString& lines);
QString formatReplacements(const QList<Replacement>& replacements);

}  // namespace text
}  // namespace sonarel
