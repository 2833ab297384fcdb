#include "compare/comparison_text.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>

#include <algorithm>

namespace stowix {

namespace {

const QString Indent = QStringLiteral("    ");

constexpr std::size_t MostPreviewKeys = 1000;

QString AttributeLetters(int attributes) {
    QString letters;
    letters += attributes & Attribute::Archive ? u'A' : u'-';
    letters += attributes & Attribute::System ? u'S' : u'-';
    letters += attributes & Attribute::Hidden ? u'H' : u'-';
    letters += attributes & Attribute::ReadOnly ? u'R' : u'-';
    return letters;
}

QString TimeText(const QDateTime& time) {
    return time.isValid() ? time.toLocalTime().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"))
                          : QStringLiteral("unknown");
}

// What differs about a changed file: "size 10 -> 12; last written ... -> ...".
QString AspectsText(const FileComparison& file) {
    QStringList parts;
    const FileFacts& older = file.older->facts;
    const FileFacts& newer = file.newer->facts;
    if (file.differs & Aspect::Size)
        parts << QStringLiteral("size %1 -> %2").arg(older.size).arg(newer.size);
    if (file.differs & Aspect::LastWrite)
        parts << QStringLiteral("last written %1 -> %2")
                     .arg(TimeText(older.lastWrite), TimeText(newer.lastWrite));
    if (file.differs & Aspect::Attributes)
        parts << QStringLiteral("attributes %1 -> %2")
                     .arg(AttributeLetters(older.attributes), AttributeLetters(newer.attributes));
    if (file.differs & Aspect::Contents) parts << QStringLiteral("contents");
    return parts.join(QStringLiteral("; "));
}

QString Plural(std::size_t count, const char* one, const char* many) {
    return QString::number(count) + u' ' + QString::fromLatin1(count == 1 ? one : many);
}

QString RegistryCountText(const RegistryDifference& registry) {
    QStringList parts;
    if (!registry.keysAdded.empty())
        parts << Plural(registry.keysAdded.size(), "key", "keys") + " added";
    if (!registry.keysRemoved.empty())
        parts << Plural(registry.keysRemoved.size(), "key", "keys") + " removed";
    std::size_t added = 0, removed = 0, changed = 0;
    for (const RegistryValueChange& value : registry.values)
        (value.kind == RegistryChangeKind::Added     ? added
         : value.kind == RegistryChangeKind::Removed ? removed
                                                     : changed)++;
    if (added) parts << Plural(added, "value", "values") + " added";
    if (removed) parts << Plural(removed, "value", "values") + " removed";
    if (changed) parts << Plural(changed, "value", "values") + " changed";
    return parts.isEmpty() ? QStringLiteral("no key or value differs") : parts.join(", ");
}

QString ValueNameText(const QString& name) {
    return name.isEmpty() ? QStringLiteral("(default)") : u'"' + name + u'"';
}

QStringList RegistryLines(const RegistryDifference& registry) {
    QStringList lines;
    lines << QStringLiteral("registry: ") + RegistryCountText(registry);
    for (const QString& key : registry.keysAdded) lines << QStringLiteral("+ ") + key;
    for (const QString& key : registry.keysRemoved) lines << QStringLiteral("- ") + key;
    for (const RegistryValueChange& value : registry.values) {
        QString line = value.keyPath + QStringLiteral(": ") + ValueNameText(value.valueName);
        switch (value.kind) {
        case RegistryChangeKind::Added:
            line += QStringLiteral(" + ") + RegistryDataText(*value.newValue);
            break;
        case RegistryChangeKind::Removed:
            line += QStringLiteral(" - ") + RegistryDataText(*value.oldValue);
            break;
        case RegistryChangeKind::Changed:
            line += u' ' + RegistryDataText(*value.oldValue) + QStringLiteral(" -> ") +
                    RegistryDataText(*value.newValue);
            break;
        }
        lines << line;
    }
    return lines;
}

const char* ChangeWord(FileChange change) {
    switch (change) {
    case FileChange::Gone: return "gone";
    case FileChange::New: return "new";
    case FileChange::Changed: return "changed";
    case FileChange::Same: return "same";
    }
    return "";
}

const char* KindWord(IniChangeKind kind) {
    switch (kind) {
    case IniChangeKind::Added: return "added";
    case IniChangeKind::Removed: return "removed";
    case IniChangeKind::Changed: return "changed";
    }
    return "";
}

const char* KindWord(RegistryChangeKind kind) {
    switch (kind) {
    case RegistryChangeKind::Added: return "added";
    case RegistryChangeKind::Removed: return "removed";
    case RegistryChangeKind::Changed: return "changed";
    }
    return "";
}

QJsonObject SideJson(const FileSide& side) {
    return QJsonObject{
        {"path", side.path},
        {"size", side.facts.size},
        {"lastWrite", side.facts.lastWrite.isValid()
                          ? QJsonValue(side.facts.lastWrite.toUTC().toString(Qt::ISODateWithMs))
                          : QJsonValue()},
        {"attributes", side.facts.attributes},
    };
}

QJsonObject RegistryValueJson(const RegistryValue& value) {
    return QJsonObject{{"type", qint64(value.type)},
                       {"data", QString::fromLatin1(value.data.toHex())},
                       {"text", RegistryDataText(value)}};
}

QJsonObject RegistryJson(const RegistryDifference& registry) {
    QJsonArray added, removed, values;
    for (const QString& key : registry.keysAdded) added.append(key);
    for (const QString& key : registry.keysRemoved) removed.append(key);
    for (const RegistryValueChange& value : registry.values) {
        QJsonObject entry{
            {"key", value.keyPath}, {"name", value.valueName}, {"change", KindWord(value.kind)}};
        if (value.oldValue) entry.insert("old", RegistryValueJson(*value.oldValue));
        if (value.newValue) entry.insert("new", RegistryValueJson(*value.newValue));
        values.append(entry);
    }
    return QJsonObject{{"keysAdded", added}, {"keysRemoved", removed}, {"values", values}};
}

QJsonObject FileJson(const FileComparison& file) {
    QJsonObject object{
        {"place", file.place}, {"name", file.name}, {"change", ChangeWord(file.change)}};
    if (file.older) object.insert("older", SideJson(*file.older));
    if (file.newer) object.insert("newer", SideJson(*file.newer));
    if (file.change == FileChange::Changed && file.older && file.newer) {
        QJsonArray differs;
        if (file.differs & Aspect::Size) differs.append("size");
        if (file.differs & Aspect::LastWrite) differs.append("lastWrite");
        if (file.differs & Aspect::Attributes) differs.append("attributes");
        if (file.differs & Aspect::Contents) differs.append("contents");
        object.insert("differs", differs);
    }
    if (!file.ini.empty()) {
        QJsonArray keys;
        for (const IniChange& change : file.ini) {
            QJsonObject entry{
                {"section", change.outside ? QJsonValue() : QJsonValue(change.section)},
                {"change", KindWord(change.kind)}};
            if (!change.sectionOnly) entry.insert("key", change.key);
            if (change.oldValue) entry.insert("old", *change.oldValue);
            if (change.newValue) entry.insert("new", *change.newValue);
            keys.append(entry);
        }
        object.insert("ini", keys);
    }
    if (file.registry) object.insert("registry", RegistryJson(*file.registry));
    if (!file.trouble.isEmpty()) object.insert("trouble", file.trouble);
    return object;
}

// The keys of one file in the restore question's details, at most MostPreviewKeys of them: a
// box of a million lines helps no one and takes long to lay out.
void AppendPreviewKeys(const std::vector<IniChange>& changes, QStringList& lines) {
    const std::size_t shown = std::min(changes.size(), MostPreviewKeys);
    for (std::size_t i = 0; i < shown; ++i) lines << Indent + IniChangeText(changes[i]);
    if (shown < changes.size())
        lines << Indent + QStringLiteral("... and %1 more (stowix-diff lists them all)")
                              .arg(changes.size() - shown);
}

}  // namespace

QString ComparisonText(const Comparison& comparison) {
    QStringList lines;
    for (const FileComparison& file : comparison.files) {
        if (!file.trouble.isEmpty() && !(file.older && file.newer)) {
            // A reason that names the place already is not given it twice.
            const QString named = file.place + QStringLiteral(": ");
            lines << QStringLiteral("trouble  ") +
                         (file.trouble.startsWith(named) ? file.trouble : named + file.trouble);
            continue;
        }
        QString line = QString::fromLatin1(ChangeWord(file.change)).leftJustified(9) + file.place;
        if (file.change == FileChange::Changed)
            line += QStringLiteral("  (") + AspectsText(file) + u')';
        lines << line;
        for (const IniChange& change : file.ini) lines << Indent + IniChangeText(change);
        if (file.registry)
            for (const QString& registryLine : RegistryLines(*file.registry))
                lines << Indent + registryLine;
        if (!file.trouble.isEmpty()) lines << Indent + QStringLiteral("trouble: ") + file.trouble;
    }
    for (const QString& trouble : comparison.troubles)
        lines << QStringLiteral("trouble  ") + trouble;
    if (lines.isEmpty()) return QString();
    lines.prepend(QStringLiteral("+++ ") + comparison.newerName);
    lines.prepend(QStringLiteral("--- ") + comparison.olderName);
    return lines.join(u'\n') + u'\n';
}

QByteArray ComparisonJson(const Comparison& comparison) {
    QJsonArray files;
    for (const FileComparison& file : comparison.files) files.append(FileJson(file));
    QJsonArray troubles;
    for (const QString& trouble : comparison.troubles) troubles.append(trouble);
    const QJsonObject document{{"older", comparison.olderName},
                               {"newer", comparison.newerName},
                               {"differs", comparison.Differs()},
                               {"trouble", comparison.HasTrouble()},
                               {"files", files},
                               {"troubles", troubles}};
    return QJsonDocument(document).toJson(QJsonDocument::Indented);
}

QString RestorePreviewText(const Comparison& preview) {
    QStringList lines;
    for (const FileComparison& file : preview.files) {
        if (file.change == FileChange::New) {
            lines << file.place + QStringLiteral(": added");
        } else if (file.older && file.newer) {
            lines << file.place + QStringLiteral(": replaced (") + AspectsText(file) + u')';
            AppendPreviewKeys(file.ini, lines);
            if (file.registry)
                lines << Indent + QStringLiteral("registry: ") +
                             QStringLiteral("%1 and %2 differ")
                                 .arg(Plural(file.registry->KeyCount(), "key", "keys"),
                                      Plural(file.registry->ValueCount(), "value", "values"));
        }
        if (!file.trouble.isEmpty())
            lines << (file.older && file.newer ? Indent : file.place + QStringLiteral(": ")) +
                         file.trouble;
    }
    for (const QString& trouble : preview.troubles)
        lines << QStringLiteral("Not compared: ") + trouble;
    if (lines.isEmpty())
        return QStringLiteral(
            "The restore would change no file on the drive: every file of the "
            "set is there as the set holds it.");
    lines.prepend(QStringLiteral("The restore would change these files on the drive:"));
    return lines.join(u'\r');
}

}  // namespace stowix
