#include "engine/Replacements.h"

#include <QRegularExpression>

namespace sonarel::text {
namespace {

QString inCaseOf(const QString& heard, const QString& escribe) {
    const bool hasLetters = heard.contains(QRegularExpression(QStringLiteral("\\p{L}")));
    if (hasLetters && heard.size() > 1 && heard == heard.toUpper()) {
        return escribe.toUpper();
    }
    if (!heard.isEmpty() && heard.front().isUpper() && !escribe.isEmpty()) {
        return escribe.front().toUpper() + escribe.mid(1);
    }
    return escribe;
}

}  // namespace

QString replaced(QString text, const QList<Replacement>& replacements) {
    for (const Replacement& r : replacements) {
        if (r.dices.trimmed().isEmpty()) {
            continue;
        }
        const QRegularExpression whole(QStringLiteral("(?<![\\p{L}\\p{N}])") +
                                           QRegularExpression::escape(r.dices.trimmed()) +
                                           QStringLiteral("(?![\\p{L}\\p{N}])"),
                                       QRegularExpression::CaseInsensitiveOption |
                                           QRegularExpression::UseUnicodePropertiesOption);
        QString out;
        qsizetype from = 0;
        for (QRegularExpressionMatchIterator it = whole.globalMatch(text); it.hasNext();) {
            const QRegularExpressionMatch match = it.next();
            out += QStringView(text).mid(from, match.capturedStart() - from);
            out += inCaseOf(match.captured(), r.escribe);
            from = match.capturedEnd();
        }
        out += QStringView(text).mid(from);
        text = out;
    }
    return text;
}

QList<Replacement> parseReplacements(const QString& lines) {
    static const QRegularExpression arrow(QStringLiteral("\\s*(?:→|->|=>)\\s*"));
    QList<Replacement> out;
    for (const QString& line : lines.split(u'\n')) {
        const QRegularExpressionMatch match = arrow.match(line);
        if (!match.hasMatch()) {
            continue;
        }
        Replacement r{line.left(match.capturedStart()).trimmed(),
                      line.mid(match.capturedEnd()).trimmed()};
        if (!r.dices.isEmpty() && !r.escribe.isEmpty()) {
            out.append(r);
        }
    }
    return out;
}

QString formatReplacements(const QList<Replacement>& replacements) {
    QStringList lines;
    for (const Replacement& r : replacements) {
        lines << r.dices + QStringLiteral(" → ") + r.escribe;
    }
    return lines.join(u'\n');
}

}  // namespace sonarel::text
