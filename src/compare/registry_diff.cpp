#include "compare/registry_diff.h"

#include "dos/ansi_code_page.h"

#include <QHash>
#include <QSet>

namespace stowix {

namespace {

// Bytes of binary data shown before the rest is only counted.
constexpr qsizetype ShownBytes = 16;

QString Folded(const QString& text) { return text.toCaseFolded(); }

QHash<QString, const RegistryKey*> ByPath(const RegistryKeys& keys) {
    QHash<QString, const RegistryKey*> index;
    index.reserve(qsizetype(keys.size()));
    // A path that the walk met twice counts once, as the first one.
    for (const RegistryKey& key : keys) {
        const QString path = Folded(key.path);
        if (!index.contains(path)) index.insert(path, &key);
    }
    return index;
}

void CompareValues(const RegistryKey& older, const RegistryKey& newer,
                   std::vector<RegistryValueChange>& changes) {
    QHash<QString, const RegistryValue*> oldValues;
    for (const RegistryValue& value : older.values) {
        const QString name = Folded(value.name);
        if (!oldValues.contains(name)) oldValues.insert(name, &value);
    }
    QSet<QString> seen;
    for (const RegistryValue& value : newer.values) {
        const QString name = Folded(value.name);
        if (seen.contains(name)) continue;
        seen.insert(name);
        const auto found = oldValues.constFind(name);
        if (found == oldValues.constEnd()) {
            changes.push_back(
                {newer.path, value.name, RegistryChangeKind::Added, std::nullopt, value});
        } else if ((*found)->type != value.type || (*found)->data != value.data) {
            changes.push_back(
                {newer.path, value.name, RegistryChangeKind::Changed, **found, value});
        }
    }
    for (const RegistryValue& value : older.values) {
        const QString name = Folded(value.name);
        if (seen.contains(name)) continue;
        seen.insert(name);
        changes.push_back(
            {newer.path, value.name, RegistryChangeKind::Removed, value, std::nullopt});
    }
}

QString AnsiString(const QByteArray& data) {
    QString text;
    for (char byte : data) {
        if (byte == '\0') break;
        text += CharacterFromWindows1252(static_cast<unsigned char>(byte));
    }
    return text;
}

}  // namespace

RegistryDifference CompareRegistries(const RegistryKeys& older, const RegistryKeys& newer) {
    const QHash<QString, const RegistryKey*> oldIndex = ByPath(older);
    RegistryDifference difference;
    QSet<QString> done;
    for (const RegistryKey& key : newer) {
        const QString path = Folded(key.path);
        if (done.contains(path)) continue;
        done.insert(path);
        const auto found = oldIndex.constFind(path);
        if (found == oldIndex.constEnd())
            difference.keysAdded.push_back(key.path);
        else
            CompareValues(**found, key, difference.values);
    }
    for (const RegistryKey& key : older) {
        const QString path = Folded(key.path);
        if (done.contains(path)) continue;  // the newer side has it, or it came twice
        done.insert(path);
        difference.keysRemoved.push_back(key.path);
    }
    return difference;
}

QString RegistryDataText(const RegistryValue& value) {
    const QByteArray& data = value.data;
    switch (value.type) {
    case RegistryType::String:
    case RegistryType::ExpandString: return u'"' + AnsiString(data) + u'"';
    case RegistryType::Dword:
        if (data.size() == 4) {
            const quint32 number = quint32(quint8(data[0])) | quint32(quint8(data[1])) << 8 |
                                   quint32(quint8(data[2])) << 16 | quint32(quint8(data[3])) << 24;
            return QStringLiteral("0x%1 (%2)").arg(number, 8, 16, QLatin1Char('0')).arg(number);
        }
        break;
    default: break;
    }
    QString text = QString::fromLatin1(data.left(ShownBytes).toHex(' '));
    if (data.size() > ShownBytes) text += QStringLiteral(" ...");
    return QStringLiteral("type %1, %2 %3: %4")
        .arg(value.type)
        .arg(data.size())
        .arg(data.size() == 1 ? QStringLiteral("byte") : QStringLiteral("bytes"), text);
}

}  // namespace stowix
