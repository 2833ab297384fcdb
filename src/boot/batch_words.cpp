#include "boot/batch_words.h"

#include "dos/short_name.h"

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

namespace {

bool IsSwitch(const QString& word) {
    return word.startsWith(u'/') ||
           (word.size() == 2 && (word.front() == u'+' || word.front() == u'-'));
}

bool DosCanName(const QString& word) {
    QStringView path = word;
    if (path.size() >= 2 && path.at(1) == u':') path = path.mid(2);
    for (QStringView part : path.split(u'\\', Qt::SkipEmptyParts)) {
        if (part == u"." || part == u"..") continue;
        QString name = part.toString();
        name.replace(u'*', u'X').replace(u'?', u'X');
        if (!IsDosShortName(name)) return false;
    }
    return true;
}

}  // namespace

QString FirstNameDosCannotUse(const QStringList& words) {
    for (const QString& word : words)
        if (!IsSwitch(word) && !DosCanName(word)) return word;
    return QString();
}

}  // namespace stowix
