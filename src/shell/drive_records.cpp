#include "shell/drive_records.h"

#include "shell/settings.h"

#include <QCryptographicHash>
#include <QFileInfo>

#include <array>

namespace stowix {

namespace {

const QString DriveKey = QStringLiteral("Drive");
// What a section without the key Drive gives: no drive name is empty.
const QString NoDrive;

const std::array<const QString*, 3> RecordKeys{
    &SettingsKeys::LastBackup, &SettingsKeys::LastRestore, &SettingsKeys::LastDelete};

// A section name that QSettings writes as it stands: the name's digest, not the path itself,
// whose slashes would read as groups.
QString SectionOf(const QString& driveName) {
    const QByteArray digest =
        QCryptographicHash::hash(driveName.toUtf8(), QCryptographicHash::Sha256).toHex();
    return SettingsKeys::Info + u'-' + QString::fromLatin1(digest.left(16));
}

bool NamesSet(const QString& value) { return !value.isEmpty() && value != SettingsKeys::None; }

}  // namespace

QString DriveRecordsName(const DriveMap& drives) {
    const std::optional<DriveSource> source = drives.Source(u'C');
    if (!source) return QString();
    const QFileInfo path(QString::fromStdString(source->hostPath));
    QString name = path.exists() ? path.canonicalFilePath() : path.absoluteFilePath();
    if (source->kind == DriveKind::Image && source->partition)
        name += QStringLiteral(" partition ") + QString::number(*source->partition);
    return name;
}

std::function<bool(const QString& setPath)> SetFolderExists(FileSystem& files) {
    return [&files](const QString& setPath) {
        const Result<int> attributes = files.ReadAttributes(setPath);
        return attributes && (attributes.value() & Attribute::Folder) != 0;
    };
}

DriveRecordsStore::DriveRecordsStore(SettingsStore& store, QString driveName, SetExists setExists)
    : m_store(store),
      m_driveName(std::move(driveName)),
      m_ownSection(SectionOf(m_driveName)),
      m_setExists(std::move(setExists)) {}

bool DriveRecordsStore::IsRecord(const QString& section, const QString& key) const {
    if (section != SettingsKeys::Info || m_driveName.isEmpty()) return false;
    for (const QString* record : RecordKeys)
        if (key == *record) return true;
    return false;
}

// The records of Info that no drive is named for are this drive's when the sets they name are
// on it, or they name none.
bool DriveRecordsStore::OwnsUnnamedRecords(const QString& application) {
    bool namesSet = false;
    for (const QString* key : {&SettingsKeys::LastBackup, &SettingsKeys::LastRestore}) {
        const QString set = m_store.Read(application, SettingsKeys::Info, *key, QString());
        if (!NamesSet(set)) continue;
        if (m_setExists(set)) return true;
        namesSet = true;
    }
    return !namesSet;
}

QString DriveRecordsStore::SectionFor(const QString& application) {
    const QString infoDrive = m_store.Read(application, SettingsKeys::Info, DriveKey, NoDrive);
    if (infoDrive == m_driveName) return SettingsKeys::Info;
    if (infoDrive != NoDrive) return m_ownSection;
    // A drive that has a section of its own already keeps it.
    if (m_store.Read(application, m_ownSection, DriveKey, NoDrive) != NoDrive) return m_ownSection;
    return OwnsUnnamedRecords(application) ? SettingsKeys::Info : m_ownSection;
}

QString DriveRecordsStore::Read(const QString& application, const QString& section,
                                const QString& key, const QString& fallback) {
    if (!IsRecord(section, key)) return m_store.Read(application, section, key, fallback);
    return m_store.Read(application, SectionFor(application), key, fallback);
}

// The record and the section's drive in one write: two saves would set a settings file that
// cannot be read aside twice, and the second would replace the first one's copy of the user's
// file. A store that writes them one by one writes the record first, so that a write cut short
// leaves Info's records unnamed, to be owned again by the same test.
Status DriveRecordsStore::Write(const QString& application, const QString& section,
                                const QString& key, const QString& value) {
    if (!IsRecord(section, key)) return m_store.Write(application, section, key, value);
    return m_store.WriteTogether(application, SectionFor(application),
                                 {{key, value}, {DriveKey, m_driveName}});
}

}  // namespace stowix
