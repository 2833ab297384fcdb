#include "shell/drive_records.h"

#include "shell/settings.h"

#include <QCryptographicHash>
#include <QFileInfo>

#include <array>

namespace stowix {

namespace {

const QString DriveKey = QStringLiteral("Drive");
// A value no drive name can take: the records of Info are not yet taken by any drive.
const QString NotTaken;

const std::array<const QString*, 3> RecordKeys{&SettingsKeys::LastBackup,
                                               &SettingsKeys::LastRestore,
                                               &SettingsKeys::LastDelete};

// A section name that QSettings writes as it stands: the name's digest, not the path itself,
// whose slashes would read as groups.
QString SectionOf(const QString& driveName) {
    const QByteArray digest =
        QCryptographicHash::hash(driveName.toUtf8(), QCryptographicHash::Sha256).toHex();
    return SettingsKeys::Info + u'-' + QString::fromLatin1(digest.left(16));
}

bool NamesSet(const QString& value) {
    return !value.isEmpty() && value != SettingsKeys::None;
}

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
      m_section(SectionOf(m_driveName)),
      m_setExists(std::move(setExists)) {}

bool DriveRecordsStore::IsRecord(const QString& section, const QString& key) const {
    if (section != SettingsKeys::Info || m_driveName.isEmpty()) return false;
    for (const QString* record : RecordKeys)
        if (key == *record) return true;
    return false;
}

// The records in Info are this drive's when no drive took them yet, this drive has none of its
// own, and the sets they name are on this drive (or they name none).
bool DriveRecordsStore::OwnsEarlierRecords(const QString& application) {
    const QString taker = m_store.Read(application, SettingsKeys::Info, DriveKey, NotTaken);
    if (taker != NotTaken) return false;
    if (m_store.Read(application, m_section, DriveKey, NotTaken) != NotTaken) return false;
    bool namesSet = false;
    for (const QString* key : {&SettingsKeys::LastBackup, &SettingsKeys::LastRestore}) {
        const QString set = m_store.Read(application, SettingsKeys::Info, *key, QString());
        if (!NamesSet(set)) continue;
        if (m_setExists(set)) return true;
        namesSet = true;
    }
    return !namesSet;
}

// Copies the records of Info into this drive's section and marks them as taken; the section's
// key Drive goes last, so that a write cut short leaves the records still to be taken.
// Settings that hold no records in Info are left as they are.
Status DriveRecordsStore::TakeEarlierRecords(const QString& application) {
    bool copiedAny = false;
    for (const QString* key : RecordKeys) {
        const QString value = m_store.Read(application, SettingsKeys::Info, *key, NotTaken);
        if (value == NotTaken) continue;
        if (Status copied = m_store.Write(application, m_section, *key, value); !copied)
            return copied;
        copiedAny = true;
    }
    if (!copiedAny) return Status::Ok();
    if (Status taken = m_store.Write(application, SettingsKeys::Info, DriveKey, m_driveName);
        !taken)
        return taken;
    return Status::Ok();
}

QString DriveRecordsStore::Read(const QString& application, const QString& section,
                                const QString& key, const QString& fallback) {
    if (!IsRecord(section, key)) return m_store.Read(application, section, key, fallback);
    if (OwnsEarlierRecords(application))
        return m_store.Read(application, SettingsKeys::Info, key, fallback);
    return m_store.Read(application, m_section, key, fallback);
}

Status DriveRecordsStore::Write(const QString& application, const QString& section,
                                const QString& key, const QString& value) {
    if (!IsRecord(section, key)) return m_store.Write(application, section, key, value);
    if (OwnsEarlierRecords(application)) {
        if (Status taken = TakeEarlierRecords(application); !taken) return taken;
    }
    if (Status written = m_store.Write(application, m_section, key, value); !written)
        return written;
    return m_store.Write(application, m_section, DriveKey, m_driveName);
}

}  // namespace stowix
