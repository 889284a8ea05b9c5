#include "platform/whisper/Punctuation.h"

namespace sonarel::whisper {

QString withoutPunctuation(const QString& text) {
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c.isPunct()) {
            const bool inWord = i > 0 && i + 1 < text.size() && text[i - 1].isLetterOrNumber() &&
                                text[i + 1].isLetterOrNumber();
            if (!inWord) {
                continue;
            }
        }
        out.append(c);
    }
    return out.simplified();
}

}  // namespace sonarel::whisper
