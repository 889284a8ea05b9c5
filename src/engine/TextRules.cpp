#include "engine/TextRules.h"

#include <QList>
#include <QTextBoundaryFinder>

namespace sonarel::text {
namespace {

bool isWordSeparator(char32_t c) {
    switch (c) {
        case 0x20:
        case 0x0A:
        case 0x0B:
        case 0x0C:
        case 0x0D:
        case 0x85:
        case 0x2028:
        case 0x2029:
            return true;
        default:
            return false;
    }
}

bool isTrimmable(char32_t c) {
    return c == 0x09 || (c >= 0x0A && c <= 0x0D) || c == 0x85 || c == 0x2028 || c == 0x2029 ||
           QChar::category(c) == QChar::Separator_Space;
}

}  // namespace

QString join(const QString& a, const QString& b) {
    if (a.isEmpty()) {
        return b;
    }
    if (b.isEmpty()) {
        return a;
    }
    if (a.back() == u' ' || a.back() == u'\n') {
        return a + b;
    }
    return a + u' ' + b;
}

int wordCount(const QString& text) {
    int words = 0;
    bool inWord = false;
    QTextBoundaryFinder graphemes(QTextBoundaryFinder::Grapheme, text);
    qsizetype start = 0;
    for (qsizetype end = graphemes.toNextBoundary(); end != -1; end = graphemes.toNextBoundary()) {
        const char32_t first = QStringView(text).mid(start, end - start).toUcs4().front();
        if (isWordSeparator(first)) {
            inWord = false;
        } else if (!inWord) {
            inWord = true;
            ++words;
        }
        start = end;
    }
    return words;
}

bool isBlank(const QString& text) {
    for (char32_t c : text.toUcs4()) {
        if (!isTrimmable(c)) {
            return false;
        }
    }
    return true;
}

}  // namespace sonarel::text
