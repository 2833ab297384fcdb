#include "boot/batch_words.h"

namespace stowix {

bool IsDelimiter(QChar c) { return c == u' ' || c == u'\t' || c == u',' || c == u';' || c == u'='; }

QStringView SkipDelimiters(QStringView text) {
    qsizetype at = 0;
    while (at < text.size() && IsDelimiter(text.at(at))) ++at;
    return text.mid(at);
}

QStringView SkipBlanks(QStringView text) {
    qsizetype at = 0;
    while (at < text.size() && (text.at(at) == u' ' || text.at(at) == u'\t')) ++at;
    return text.mid(at);
}

QString NextWord(QStringView& rest) {
    rest = SkipDelimiters(rest);
    QString word;
    bool quoted = false;
    qsizetype at = 0;
    for (; at < rest.size(); ++at) {
        const QChar c = rest.at(at);
        if (c == u'"') {
            quoted = !quoted;
            continue;
        }
        if (!quoted && IsDelimiter(c)) break;
        word.append(c);
    }
    rest = rest.mid(at);
    return word;
}

QStringList Words(QStringView rest) {
    QStringList words;
    for (QString word = NextWord(rest); !word.isEmpty() || !rest.isEmpty(); word = NextWord(rest))
        if (!word.isEmpty()) words.append(word);
    return words;
}

}  // namespace stowix
