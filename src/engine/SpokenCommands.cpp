#include "engine/SpokenCommands.h"

#include "engine/TextRules.h"

#include <QList>
#include <QRegularExpression>
#include <QStringList>

#include <vector>

namespace sonarel::spoken {
namespace {

// How a token sits against its neighbours.
enum class Kind {
    Word,
    Closing,  // no space before: . , ; : ? ! ) »
    Opening,  // no space after: ¿ ¡ ( «
    Break,    // a line break: no space on either side
    Glue,     // a hyphen: joins its neighbours
};

struct Token {
    Kind kind = Kind::Word;
    QString text;
    bool fromModel = true;
    bool endsSentence = false;
    QString folded = {};  // a word's text in lower case, without accents
};

struct Command {
    QStringList words;  // lower case, without accents
    QString sign;
    Kind kind;
    bool endsSentence = false;
    bool ambiguous = false;  // also an ordinary word, read by what follows it
};

const QString kOpeningSigns = QStringLiteral("¿¡([{«“‘\"'");
const QString kClosingSigns = QStringLiteral(".,;:?!)]}»”’\"'…");

QString folded(const QString& word) {
    QString out;
    for (QChar c : word.normalized(QString::NormalizationForm_D)) {
        if (c.category() != QChar::Mark_NonSpacing) {
            out.append(c.toLower());
        }
    }
    return out;
}

const std::vector<Command>& commands() {
    static const std::vector<Command> table = [] {
        std::vector<Command> all = {
            {{"punto", "y", "aparte"}, QStringLiteral(".\n\n"), Kind::Break, true, false},
            {{"nuevo", "parrafo"}, QStringLiteral("\n\n"), Kind::Break, true, false},
            {{"nueva", "linea"}, QStringLiteral("\n"), Kind::Break, true, false},
            {{"punto", "y", "coma"}, QStringLiteral(";"), Kind::Closing, false, false},
            {{"dos", "puntos"}, QStringLiteral(":"), Kind::Closing, false, true},
            {{"punto"}, QStringLiteral("."), Kind::Closing, true, true},
            {{"coma"}, QStringLiteral(","), Kind::Closing, false, true},
            {{"guion"}, QStringLiteral("-"), Kind::Glue, false, true},
        };
        struct Pair {
            const char* name;
            QString open;
            QString close;
            bool withSign;  // also "abre signo de …"
        };
        const Pair pairs[] = {
            {"interrogacion", QStringLiteral("¿"), QStringLiteral("?"), true},
            {"exclamacion", QStringLiteral("¡"), QStringLiteral("!"), true},
            {"parentesis", QStringLiteral("("), QStringLiteral(")"), false},
            {"comillas", QStringLiteral("«"), QStringLiteral("»"), false},
        };
        for (const Pair& pair : pairs) {
            const bool closeEnds = pair.close == u"?" || pair.close == u"!";
            for (const char* open : {"abre", "abrir"}) {
                all.push_back({{open, pair.name}, pair.open, Kind::Opening});
                if (pair.withSign) {
                    all.push_back({{open, "signo", "de", pair.name}, pair.open, Kind::Opening});
                }
            }
            for (const char* close : {"cierra", "cerrar"}) {
                all.push_back({{close, pair.name}, pair.close, Kind::Closing, closeEnds});
                if (pair.withSign) {
                    all.push_back(
                        {{close, "signo", "de", pair.name}, pair.close, Kind::Closing, closeEnds});
                }
            }
        }
        return all;
    }();
    return table;
}

// Words after which a command word is a noun, a verb or part of a phrase ("el punto", "en
// punto", "que coma").
bool makesItAWord(const QString& word) {
    static const QStringList words = {
        "el",     "la",      "los",     "las",    "lo",        "un",     "una",     "unos",
        "unas",   "este",    "esta",    "estos",  "estas",     "ese",    "esa",     "esos",
        "esas",   "aquel",   "aquella", "mi",     "mis",       "tu",     "tus",     "su",
        "sus",    "nuestro", "nuestra", "cada",   "otro",      "otra",   "otros",   "otras",
        "del",    "al",      "de",      "en",     "con",       "sin",    "por",     "que",
        "ningun", "ninguna", "algun",   "alguna", "cualquier", "primer", "primera", "ultimo",
        "ultima", "mismo",   "misma",   "buen",   "buena",     "mal",    "mala",    "gran",
        "no",     "se",      "le",      "les",    "me",        "te",     "nos"};
    return words.contains(word);
}

// Words before which "punto", "coma", "guion" or "dos puntos" are ordinary words.
bool continuesAWord(const QString& word) {
    static const QStringList words = {"de",    "del", "en",    "a",     "al",  "con",
                                      "para",  "por", "final", "medio", "com", "mas",
                                      "menos", "es",  "era",   "fue"};
    return words.contains(word);
}

bool isNumber(const QString& word) {
    static const QStringList words = {"cero", "uno",   "dos",  "tres",  "cuatro", "cinco",
                                      "seis", "siete", "ocho", "nueve", "diez"};
    return words.contains(word) || (!word.isEmpty() && word.front().isDigit());
}

bool wordIs(const std::vector<Token>& tokens, size_t at, bool (*test)(const QString&)) {
    return at < tokens.size() && tokens[at].kind == Kind::Word && test(tokens[at].folded);
}

std::vector<Token> tokenize(const QString& utterance) {
    std::vector<Token> tokens;
    for (const QString& chunk :
         utterance.split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts)) {
        qsizetype first = 0;
        while (first < chunk.size() && kOpeningSigns.contains(chunk[first])) {
            tokens.push_back({Kind::Opening, QString(chunk[first++])});
        }
        qsizetype last = chunk.size();
        while (last > first && kClosingSigns.contains(chunk[last - 1])) {
            --last;
        }
        if (last > first) {
            const QString word = chunk.mid(first, last - first);
            tokens.push_back({Kind::Word, word, true, false, folded(word)});
        }
        for (qsizetype i = last; i < chunk.size(); ++i) {
            const bool ends = chunk[i] == u'.' || chunk[i] == u'?' || chunk[i] == u'!';
            tokens.push_back({Kind::Closing, QString(chunk[i]), true, ends});
        }
    }
    return tokens;
}

// The command whose words start at `at`, or none. Either way `end` is past the words looked at:
// a phrase the context makes ordinary words is passed over whole ("el punto y coma").
const Command* commandAt(const std::vector<Token>& tokens, size_t at, size_t& end) {
    end = at + 1;
    for (const Command& command : commands()) {
        size_t i = at;
        for (const QString& word : command.words) {
            if (i >= tokens.size() || tokens[i].kind != Kind::Word || tokens[i].folded != word) {
                break;
            }
            ++i;
        }
        if (i - at != static_cast<size_t>(command.words.size())) {
            continue;
        }
        end = i;
        const bool afterDeterminer = at > 0 && wordIs(tokens, at - 1, makesItAWord);
        const bool beforeMore = wordIs(tokens, i, continuesAWord);
        const bool betweenNumbers =
            at > 0 && wordIs(tokens, at - 1, isNumber) && wordIs(tokens, i, isNumber);
        if (afterDeterminer || (command.ambiguous && (beforeMore || betweenNumbers))) {
            return nullptr;
        }
        return &command;
    }
    return nullptr;
}

bool isCapitalized(const QString& word) {
    return word.size() > 1 && word[0].isUpper() && !word[1].isUpper();
}

QString withFirst(QString word, bool upper) {
    if (!word.isEmpty()) {
        word[0] = upper ? word[0].toUpper() : word[0].toLower();
    }
    return word;
}

Kind kindOfEnd(const QString& text) {
    if (text.isEmpty() || text.back() == u'\n') {
        return Kind::Break;
    }
    const QChar last = text.back();
    if (last == u'-') {
        return Kind::Glue;
    }
    if (QStringLiteral("¿¡(«").contains(last)) {
        return Kind::Opening;
    }
    return kClosingSigns.contains(last) ? Kind::Closing : Kind::Word;
}

// The recognizer capitalizes a text's first word itself.
bool endsSentence(const QString& text) {
    const QString trimmed = text.trimmed();
    return !trimmed.isEmpty() && (text.endsWith(u'\n') || trimmed.endsWith(u'.') ||
                                  trimmed.endsWith(u'?') || trimmed.endsWith(u'!'));
}

}  // namespace

QString append(const QString& before, const QString& utterance) {
    const std::vector<Token> tokens = tokenize(utterance);
    bool any = false;
    for (size_t i = 0, end = 0; i < tokens.size() && !any; i = end) {
        any = commandAt(tokens, i, end) != nullptr;
    }
    if (!any) {
        return text::join(before, utterance);
    }
    std::vector<Token> out;
    bool capitalize = endsSentence(before);
    bool lower = false;
    for (size_t i = 0; i < tokens.size();) {
        size_t end = i;
        const Command* command = commandAt(tokens, i, end);
        if (!command) {
            for (; i < end; ++i) {
                Token token = tokens[i];
                if (token.kind == Kind::Word) {
                    if (capitalize) {
                        token.text = withFirst(token.text, true);
                    } else if (lower && isCapitalized(token.text)) {
                        token.text = withFirst(token.text, false);
                    }
                    capitalize = lower = false;
                }
                out.push_back(std::move(token));
            }
            continue;
        }
        // The recognizer's own punctuation at the command's place gives way to its sign.
        bool absorbedEnd = false;
        if (command->kind == Kind::Closing || command->sign.startsWith(u'.')) {
            while (!out.empty() && out.back().fromModel && out.back().kind == Kind::Closing) {
                absorbedEnd = absorbedEnd || out.back().endsSentence;
                out.pop_back();
            }
        }
        while (end < tokens.size() && tokens[end].kind == Kind::Closing) {
            absorbedEnd = absorbedEnd || tokens[end].endsSentence;
            ++end;
        }
        // A dash that starts a line starts a list's item; an opening sign or a dash within a
        // line leaves the capital as it was, or takes it over from the command's words.
        const bool startsLine =
            out.empty() ? kindOfEnd(before) == Kind::Break : out.back().kind == Kind::Break;
        out.push_back({command->kind, command->sign, false, command->endsSentence});
        const bool opens = command->kind == Kind::Opening || command->kind == Kind::Glue;
        if ((command->kind == Kind::Glue && startsLine) ||
            (opens && isCapitalized(tokens[i].text))) {
            capitalize = true;
        } else if (command->kind != Kind::Opening && command->kind != Kind::Glue) {
            capitalize = command->endsSentence;
            lower = !capitalize && absorbedEnd;
        }
        i = end;
    }

    QString text = before;
    Kind previous = kindOfEnd(before);
    for (const Token& token : out) {
        const bool tight = token.kind == Kind::Closing || token.kind == Kind::Break ||
                           (token.kind == Kind::Glue && previous != Kind::Break);
        if (tight) {
            while (text.endsWith(u' ')) {
                text.chop(1);
            }
        } else if (!text.isEmpty() && !text.endsWith(u' ') &&
                   (previous == Kind::Word || previous == Kind::Closing)) {
            text += u' ';
        }
        text += token.text;
        // A hyphen that starts a line is a list's dash.
        if (token.kind == Kind::Glue && previous == Kind::Break) {
            text += u' ';
        }
        previous = token.kind;
    }
    return text;
}

}  // namespace sonarel::spoken
