#include "compare/ini_file.h"

#include "dos/ansi_code_page.h"

#include <QHash>

namespace stowix {

namespace {

// The blanks that the profile functions drop around names and values.
bool IsBlank(QChar c) { return c == u' ' || c == u'\t'; }

QStringView Trimmed(QStringView text) {
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && IsBlank(text[begin])) ++begin;
    while (end > begin && IsBlank(text[end - 1])) --end;
    return text.mid(begin, end - begin);
}

QString FromAnsi(const QByteArray& bytes) {
    QString text(bytes.size(), Qt::Uninitialized);
    QChar* out = text.data();
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const auto byte = static_cast<unsigned char>(bytes[i]);
        out[i] = byte < 0x80 ? QChar(char16_t(byte)) : CharacterFromWindows1252(byte);
    }
    return text;
}

}  // namespace

QString IniNameKey(QStringView name) { return name.toString().toCaseFolded(); }

bool IsIniFileName(const QString& name) {
    return name.endsWith(QLatin1String(".INI"), Qt::CaseInsensitive);
}

IniFile ParseIni(const QByteArray& bytes) {
    IniFile file;
    // Decoded once, whole: every entry is a view into it.
    file.text = FromAnsi(bytes);
    QHash<QString, std::size_t> sectionIndex;  // folded name -> index in file.sections
    std::size_t current = 0;
    bool inSection = false;

    const QStringView data(file.text);
    qsizetype lineStart = 0;
    while (lineStart < data.size()) {
        qsizetype lineEnd = data.indexOf(u'\n', lineStart);
        if (lineEnd < 0) lineEnd = data.size();
        qsizetype textEnd = lineEnd;
        if (textEnd > lineStart && data[textEnd - 1] == u'\r') --textEnd;
        const QStringView text = Trimmed(data.mid(lineStart, textEnd - lineStart));
        lineStart = lineEnd + 1;
        if (text.isEmpty() || text.front() == u';') continue;

        if (text.front() == u'[') {
            // The name runs to the first "]"; anything after it is not read. A header without
            // "]" names a section by the rest of its line.
            qsizetype close = text.indexOf(u']');
            if (close < 0) close = text.size();
            const QString name = Trimmed(text.mid(1, close - 1)).toString();
            const QString key = IniNameKey(name);
            auto found = sectionIndex.find(key);
            if (found == sectionIndex.end()) {
                file.sections.push_back({name, false, {}});
                found = sectionIndex.insert(key, file.sections.size() - 1);
            }
            current = *found;
            inSection = true;
            continue;
        }

        if (!inSection && file.sections.empty()) {
            // Only lines before the first header get here, so the outside part comes first.
            file.sections.push_back(IniSection{QString(), true, {}});
            current = 0;
        }
        IniEntry entry;
        const qsizetype equals = text.indexOf(u'=');
        if (equals < 0) {
            entry.key = text;
            entry.hasValue = false;
        } else {
            entry.key = Trimmed(text.left(equals));
            entry.value = Trimmed(text.mid(equals + 1));
        }
        file.sections[current].entries.push_back(entry);
    }
    return file;
}

}  // namespace stowix
