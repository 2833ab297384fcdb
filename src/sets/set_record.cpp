#include "sets/set_record.h"

#include "dos/ansi_code_page.h"
#include "sets/stamp_forms.h"

#include <QLocale>
#include <QStringList>

namespace stowix {

namespace {

// A record is a few kilobytes; anything far larger is not one.
constexpr qint64 MostRecordBytes = 1024 * 1024;

// Functions rather than constants, so that a record made while static objects are built (a
// test's table) finds them.
QString SetSection() { return QStringLiteral("[Set]"); }
QString FilesSection() { return QStringLiteral("[Files]"); }

struct PlaceName {
    SetPlace place;
    const char16_t* name;
};

constexpr PlaceName PlaceNames[] = {
    {SetPlace::DriveRoot, u"Root"},
    {SetPlace::WindowsFolder, u"Windows"},
    {SetPlace::BackupRoot, u"Backup"},
};

QString NameOf(SetPlace place) {
    for (const PlaceName& known : PlaceNames)
        if (known.place == place) return QString::fromUtf16(known.name);
    return QStringLiteral("Other");
}

std::optional<SetPlace> PlaceNamed(QStringView name) {
    for (const PlaceName& known : PlaceNames)
        if (name.compare(QString::fromUtf16(known.name), Qt::CaseInsensitive) == 0)
            return known.place;
    return std::nullopt;
}

void ReadSetKey(SetRecord& record, QStringView key, const QString& value) {
    if (key.compare(u"Format", Qt::CaseInsensitive) == 0)
        record.format = value.toInt();
    else if (key.compare(u"Complete", Qt::CaseInsensitive) == 0)
        record.complete = value.compare(u"Yes", Qt::CaseInsensitive) == 0;
    else if (key.compare(u"Made", Qt::CaseInsensitive) == 0)
        record.made = QDateTime::fromString(value, Qt::ISODate).toUTC();
    else if (key.compare(u"Locale", Qt::CaseInsensitive) == 0)
        record.locale = value;
    else if (key.compare(u"DateForm", Qt::CaseInsensitive) == 0)
        record.dateForm = value;
    else if (key.compare(u"TimeForm", Qt::CaseInsensitive) == 0)
        record.timeForm = value;
}

// "NAME=Place" or "NAME=Place\NAME ON THE DRIVE"; a place this version does not know is left
// out, so that its file is restored as a set without a record restores it.
void ReadFileKey(SetRecord& record, const QString& key, const QString& value) {
    const qsizetype slash = value.indexOf(u'\\');
    const std::optional<SetPlace> place = PlaceNamed(slash < 0 ? value : value.left(slash));
    if (!place || key.isEmpty()) return;
    const QString onDrive = slash < 0 ? key : value.mid(slash + 1);
    if (onDrive.isEmpty()) return;
    record.files.push_back({key, *place, onDrive});
}

}  // namespace

const FileOrigin* SetRecord::Origin(const QString& nameInSet) const {
    for (const FileOrigin& origin : files)
        if (origin.nameInSet.compare(nameInSet, Qt::CaseInsensitive) == 0) return &origin;
    return nullptr;
}

QString TwinName(const QString& name) { return name + QStringLiteral(".WIN"); }

bool GroupTakes(const std::optional<SetRecord>& record, const SetGroup& group,
                const QString& name) {
    if (!record || group.registry) return true;
    const FileOrigin* origin = record->Origin(name);
    return origin == nullptr ||
           (origin->place == group.place &&
            origin->nameOnDrive.compare(origin->nameInSet, Qt::CaseInsensitive) == 0);
}

SetRecord BegunSetRecord() {
    const QLocale locale;
    SetRecord record;
    record.made = QDateTime::currentDateTimeUtc();
    record.locale = locale.name();
    record.dateForm = ShortDateForm(locale);
    record.timeForm = TimeFormWithSeconds(locale);
    return record;
}

std::vector<QString> SetRecordLines(const SetRecord& record) {
    std::vector<QString> lines{
        SetSection(),
        QStringLiteral("Format=") + QString::number(record.format),
        QStringLiteral("Complete=") + (record.complete ? u"Yes" : u"No"),
        QStringLiteral("Made=") + record.made.toUTC().toString(Qt::ISODateWithMs),
        QStringLiteral("Locale=") + record.locale,
        QStringLiteral("DateForm=") + record.dateForm,
        QStringLiteral("TimeForm=") + record.timeForm,
        QString(),
        FilesSection(),
    };
    for (const FileOrigin& origin : record.files) {
        QString value = NameOf(origin.place);
        if (origin.nameOnDrive.compare(origin.nameInSet, Qt::CaseInsensitive) != 0)
            value += u'\\' + origin.nameOnDrive;
        lines.push_back(origin.nameInSet + u'=' + value);
    }
    return lines;
}

std::optional<SetRecord> ParseSetRecord(const QString& text) {
    SetRecord record;
    record.format = 0;
    bool sawSet = false;
    QString section;
    for (QString line : text.split(u'\n')) {
        line = line.trimmed();
        if (line.isEmpty() || line.startsWith(u';')) continue;
        if (line.startsWith(u'[')) {
            section = line;
            sawSet |= section.compare(SetSection(), Qt::CaseInsensitive) == 0;
            continue;
        }
        const qsizetype equals = line.indexOf(u'=');
        if (equals < 0) continue;
        const QString key = line.left(equals).trimmed();
        const QString value = line.mid(equals + 1).trimmed();
        if (section.compare(SetSection(), Qt::CaseInsensitive) == 0)
            ReadSetKey(record, key, value);
        else if (section.compare(FilesSection(), Qt::CaseInsensitive) == 0)
            ReadFileKey(record, key, value);
    }
    if (!sawSet || record.format < 1) return std::nullopt;
    return record;
}

Status WriteSetRecord(FileSystem& files, const QString& setPath, const SetRecord& record) {
    return files.WriteTextFile(setPath + u'\\' + SetRecordName, SetRecordLines(record));
}

Result<std::optional<SetRecord>> ReadSetRecord(FileSystem& files, const QString& setPath) {
    const QString path = setPath + u'\\' + SetRecordName;
    const Result<QByteArray> bytes = files.ReadFile(path, MostRecordBytes);
    if (!bytes) {
        if (bytes.notFound()) return std::optional<SetRecord>();
        return Status::Fail(SetRecordName + QStringLiteral(" cannot be read: ") + bytes.reason());
    }
    QString text;
    text.reserve(bytes.value().size());
    for (const char byte : bytes.value()) text.append(CharacterFromWindows1252(uchar(byte)));
    std::optional<SetRecord> record = ParseSetRecord(text);
    if (!record) return Status::Fail(SetRecordName + QStringLiteral(" is not a set record"));
    return record;
}

}  // namespace stowix
