#include "app/qt_settings_store.h"

#include "services/errno_text.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSettings>
#include <QStandardPaths>
#include <QStringDecoder>
#include <QStringList>
#include <QThread>
#include <QVariant>

#include <fcntl.h>
#include <unistd.h>
#include <cerrno>
#include <cstring>

namespace stowix {

namespace {

QString SettingsKey(const QString& section, const QString& key) { return section + u'/' + key; }

// Forces a file's content, or a folder's entries, to disk; the atomic save of QSettings renames
// a finished file into place but does not promise that the rename itself survives a power cut.
// A file needs only its data and size: fdatasync costs nothing when the save has synced them
// already, and still covers a save that wrote the file in place. The folder's fsync makes the
// rename durable.
Status SyncPath(const QString& path, bool folder) {
    const QByteArray native = QFile::encodeName(path);
    const int fd = ::open(native.constData(), (folder ? O_DIRECTORY : 0) | O_RDONLY | O_CLOEXEC);
    if (fd < 0) return Status::Fail(ErrnoText(errno));
    const int result = folder ? ::fsync(fd) : ::fdatasync(fd);
    const int savedErrno = errno;
    ::close(fd);
    if (result != 0) return Status::Fail(ErrnoText(savedErrno));
    return Status::Ok();
}

constexpr qint64 MaxSettingsFileBytes = qint64(1) << 20;

// True when the file at path is not a settings file that this store would have written: not
// UTF-8 text, or holding a line that is neither blank, a comment, a whole section header nor a
// key with "=". QSettings reports such a file only when it parses it afresh; within one process
// it may hand back an earlier parse of the same file without a word, so the file is checked here.
// A file that cannot be read (a failing disk, no permission) counts too: QSettings would take it
// for an empty one and write the new value over all the others.
bool LooksCorrupt(const QString& path) {
    QFile file(path);
    const QFileInfo info(path);
    if (!info.isFile()) return false;
    // The program's settings are a few lines; a file far larger is no file it wrote, and is not
    // read into memory to find that out.
    if (info.size() > MaxSettingsFileBytes) return true;
    if (!file.open(QIODevice::ReadOnly)) return true;
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) return true;
    if (bytes.contains('\0')) return true;
    QStringDecoder decoder(QStringDecoder::Utf8);
    const QString text = decoder(bytes);
    if (decoder.hasError()) return true;
    const QStringList lines = text.split(QRegularExpression(QStringLiteral("[\r\n]")));
    for (const QString& rawLine : lines) {
        const QString line = rawLine.trimmed();
        if (line.isEmpty() || line.startsWith(u';') || line.startsWith(u'#')) continue;
        if (line.startsWith(u'[')) {
            if (!line.contains(u']')) return true;
            continue;
        }
        if (!line.contains(u'=')) return true;
    }
    return false;
}

// QSettings guards its file with path + ".lock", made and then filled with the writer's process
// id. A program killed in between leaves an empty lock, which QSettings can only wait out (half
// a minute, with the window frozen). The program is the only writer of its settings, and one
// copy runs at a time, so a lock that stays empty for a moment is such an orphan: it is removed.
void RemoveOrphanedLock(const QString& path) {
    constexpr unsigned long OwnerWriteGraceMs = 200;
    const QString lock = path + QStringLiteral(".lock");
    if (!QFileInfo(lock).isFile() || QFileInfo(lock).size() != 0) return;
    QThread::msleep(OwnerWriteGraceMs);
    QFileInfo again(lock);
    if (again.isFile() && again.size() == 0) QFile::remove(lock);
}

// Why QSettings could not save path, in words the user can act on.
QString WriteFailureReason(const QString& path) {
    const QFileInfo file(path);
    const QFileInfo folder(file.absolutePath());
    if (file.isDir())
        return path + QStringLiteral(
                          " is a folder, not a settings file; move it away so that "
                          "the settings can be stored");
    if (folder.exists() && !folder.isDir())
        return folder.filePath() + QStringLiteral(" is not a folder");
    if (folder.exists() && !folder.isWritable())
        return QStringLiteral("the folder ") + folder.filePath() +
               QStringLiteral(" is not writable");
    if (file.exists() && !file.isWritable()) return path + QStringLiteral(" is not writable");
    return path + QStringLiteral(" could not be written (is the disk full?)");
}

}  // namespace

QtSettingsStore::QtSettingsStore(QString folder) : m_folder(std::move(folder)) {}

QString QtSettingsStore::FilePath(const QString& application) const {
    QString folder = m_folder;
    if (folder.isEmpty())
        folder = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
                 QStringLiteral("/Stowix");
    return folder + u'/' + application + QStringLiteral(".ini");
}

QString QtSettingsStore::Read(const QString& application, const QString& section,
                              const QString& key, const QString& fallback) {
    const QString path = FilePath(application);
    // A file that parses only in part may hold anything; none of it is trusted.
    if (LooksCorrupt(path)) return fallback;
    const QSettings settings(path, QSettings::IniFormat);
    // An access error alone is no reason to distrust what was read: an unreadable file simply
    // gives no values, and a folder that refuses writes still lets the values be read.
    if (settings.status() == QSettings::FormatError) return fallback;
    const QVariant value = settings.value(SettingsKey(section, key));
    if (!value.isValid()) return fallback;
    // A hand-edited value with unquoted commas reads back as a list of texts.
    if (value.typeId() == QMetaType::QStringList)
        return value.toStringList().join(QStringLiteral(", "));
    if (!value.canConvert<QString>()) return fallback;
    return value.toString();
}

Status QtSettingsStore::Write(const QString& application, const QString& section,
                              const QString& key, const QString& value) {
    return WriteTogether(application, section, {{key, value}});
}

Status QtSettingsStore::WriteTogether(const QString& application, const QString& section,
                                      const std::vector<std::pair<QString, QString>>& values) {
    const QString path = FilePath(application);
    {
        // Checked before QSettings reads the file: a file of absurd size is never read whole.
        bool corrupt = LooksCorrupt(path);
        if (!corrupt) {
            const QSettings existing(path, QSettings::IniFormat);
            corrupt = existing.status() == QSettings::FormatError;
        }
        if (corrupt) {
            // Rewriting it would keep the part that happened to parse, mixed with the new value;
            // the user's file is kept beside the fresh one instead.
            const QString aside = path + QStringLiteral(".corrupt");
            QFile::remove(aside);
            if (!QFile::rename(path, aside))
                return Status::Fail(QStringLiteral("the corrupt settings file ") + path +
                                    QStringLiteral(" could not be moved aside"));
        }
    }

    RemoveOrphanedLock(path);
    QSettings settings(path, QSettings::IniFormat);
    std::vector<std::pair<QString, QVariant>> previous;
    for (const auto& [key, value] : values) {
        const QString fullKey = SettingsKey(section, key);
        previous.emplace_back(fullKey, settings.value(fullKey));
        settings.setValue(fullKey, value);
    }
    settings.sync();
    if (settings.status() != QSettings::NoError) {
        // QSettings keeps an unsaved change for the rest of the process and would show it to
        // later reads, or save it with some later write; the store must show what is on disk.
        for (auto old = previous.rbegin(); old != previous.rend(); ++old) {
            if (old->second.isValid())
                settings.setValue(old->first, old->second);
            else
                settings.remove(old->first);
        }
        return Status::Fail(WriteFailureReason(path));
    }

    if (Status synced = SyncPath(path, false); !synced)
        return Status::Fail(path + QStringLiteral(": ") + synced.reason());
    if (Status synced = SyncPath(QFileInfo(path).absolutePath(), true); !synced)
        return Status::Fail(QFileInfo(path).absolutePath() + QStringLiteral(": ") +
                            synced.reason());
    return Status::Ok();
}

}  // namespace stowix
