#include "registry/wine_registry.h"

#include <QList>

namespace stowix {

namespace {

const QByteArray Header = QByteArrayLiteral("WINE REGISTRY Version 2");

enum class LineKind { Blank, Comment, Option, Key, Value, Continuation, Unknown };

struct Line {
    QByteArray text;
    int number = 0;  // of the file's line it begins on, from 1
};

// The logical lines of the text: a line that ends in a backslash goes on in the next one.
QList<Line> LogicalLines(const QByteArray& text) {
    QList<Line> lines;
    Line pending;
    int number = 0;
    QList<QByteArray> physical = text.split('\n');
    // The text's last line end ends a line; it does not begin one.
    if (text.endsWith('\n')) physical.removeLast();
    for (QByteArray line : physical) {
        ++number;
        if (line.endsWith('\r')) line.chop(1);
        if (pending.number != 0) line = pending.text + line.trimmed();
        const int first = pending.number != 0 ? pending.number : number;
        pending = Line();
        if (line.endsWith('\\') && !line.endsWith("\\\\")) {
            pending = {line.chopped(1), first};
            continue;
        }
        lines.append({line, first});
    }
    // Cut short in a continuation: the backslash stays, so the value reads as cut short.
    if (pending.number != 0) lines.append({pending.text + '\\', pending.number});
    return lines;
}

// The end of a quoted text that begins at start (a '"'), just past its closing quote, or -1.
qsizetype QuotedEnd(const QByteArray& line, qsizetype start) {
    for (qsizetype i = start + 1; i < line.size(); ++i) {
        if (line.at(i) == '\\') {
            ++i;
            continue;
        }
        if (line.at(i) == '"') return i + 1;
    }
    return -1;
}

// The end of a key's path in a "[path] stamp" line, at its closing bracket, or -1.
qsizetype KeyEnd(const QByteArray& line) {
    for (qsizetype i = 1; i < line.size(); ++i) {
        if (line.at(i) == '\\') {
            ++i;
            continue;
        }
        if (line.at(i) == ']') return i;
    }
    return -1;
}

// The end of a value's name ('@' or a quoted name), just before its '=', or -1.
qsizetype NameEnd(const QByteArray& line) {
    const qsizetype end = line.startsWith('@') ? 1 : QuotedEnd(line, 0);
    if (end < 0 || end >= line.size() || line.at(end) != '=') return -1;
    return end;
}

// A value's data is whole: a quoted text closes, a continuation was not cut short.
bool DataIsWhole(const QByteArray& data) {
    if (data.endsWith('\\')) return false;
    const qsizetype quote = data.indexOf('"');
    if (quote < 0) return true;
    const qsizetype end = QuotedEnd(data, quote);
    return end == data.size();
}

LineKind KindOf(const QByteArray& line) {
    if (line.trimmed().isEmpty()) return LineKind::Blank;
    switch (line.at(0)) {
    case ';': return LineKind::Comment;
    case '#': return LineKind::Option;
    case '[': return KeyEnd(line) > 0 ? LineKind::Key : LineKind::Unknown;
    case '"':
    case '@': return NameEnd(line) > 0 ? LineKind::Value : LineKind::Unknown;
    default: return LineKind::Unknown;
    }
}

}  // namespace

const std::vector<QString>& WineRegistryFileNames() {
    static const std::vector<QString> names = {
        QStringLiteral("system.reg"), QStringLiteral("user.reg"), QStringLiteral("userdef.reg")};
    return names;
}

bool IsWineRegistryName(const QString& name) {
    for (const QString& wine : WineRegistryFileNames())
        if (name.compare(wine, Qt::CaseInsensitive) == 0) return true;
    return false;
}

WineRegistryCheck CheckWineRegistryText(const QByteArray& text) {
    WineRegistryCheck check;
    const QList<Line> lines = LogicalLines(text);
    if (lines.isEmpty() || lines.first().text.trimmed() != Header) {
        check.reason = QStringLiteral("it is not Wine's registry text (it does not begin with \"") +
                       QString::fromLatin1(Header) + QStringLiteral("\")");
        return check;
    }
    bool inKey = false;
    for (qsizetype n = 1; n < lines.size(); ++n) {
        const QByteArray& line = lines.at(n).text;
        const LineKind kind = KindOf(line);
        const bool valueOutsideKey = kind == LineKind::Value && !inKey;
        const bool cutShort = kind == LineKind::Value && !DataIsWhole(line.mid(NameEnd(line) + 1));
        if (kind == LineKind::Unknown || valueOutsideKey || cutShort) {
            check.reason =
                QStringLiteral("line %1 is %2")
                    .arg(lines.at(n).number)
                    .arg(cutShort          ? QStringLiteral("a value cut short")
                         : valueOutsideKey ? QStringLiteral("a value before any key")
                                           : QStringLiteral("neither a key nor a value"));
            return check;
        }
        if (kind == LineKind::Key) {
            inKey = true;
            ++check.keys;
        }
        if (kind == LineKind::Value) ++check.values;
    }
    check.sound = true;
    return check;
}

QByteArray WineRegistryAsIni(const QByteArray& text) {
    QByteArray ini;
    for (const Line& logical : LogicalLines(text)) {
        const QByteArray& line = logical.text;
        switch (KindOf(line)) {
        case LineKind::Key: ini += line.left(KeyEnd(line) + 1) + '\n'; break;
        case LineKind::Value: {
            const qsizetype end = NameEnd(line);
            QByteArray name = line.left(end);
            // The INI form splits at the first '=': one inside a name is written as "\x3d".
            name.replace('=', "\\x3d");
            ini += name + '=' + line.mid(end + 1) + '\n';
            break;
        }
        default: break;
        }
    }
    return ini;
}

}  // namespace stowix
