#include "drive_checks.h"

#include "support/program_world.h"

#include "dos/wildcard.h"
#include "sets/backup_set_layout.h"
#include "sets/set_record.h"

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSettings>
#include <QStringDecoder>
#include <optional>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <unistd.h>

#include <string>

namespace stowix::test {

namespace {

// A host name as a key: UTF-8 where it is, each other byte written as \xHH, so that names that
// are not UTF-8 stay apart and readable.
QString KeyOf(const std::string& name) {
    QStringDecoder decoder(QStringDecoder::Utf8);
    QString decoded = decoder(QByteArray::fromStdString(name));
    if (!decoder.hasError()) return decoded;
    QString key;
    for (unsigned char c : name) {
        if (c < 0x80)
            key += QChar(c);
        else
            key += QStringLiteral("\\x%1").arg(c, 2, 16, QLatin1Char('0'));
    }
    return key;
}

void Walk(const std::string& host, const QString& relative, Snapshot& snapshot) {
    DIR* folder = ::opendir(host.c_str());
    if (!folder) return;
    while (const dirent* entry = ::readdir(folder)) {
        const std::string name = entry->d_name;
        if (name == "." || name == "..") continue;
        const std::string path = host + '/' + name;
        const QString key = relative + KeyOf(name);
        struct stat info {};
        if (::lstat(path.c_str(), &info) != 0) continue;
        if (S_ISDIR(info.st_mode)) {
            Walk(path, key + u'/', snapshot);
        } else if (S_ISLNK(info.st_mode)) {
            char target[4096];
            const ssize_t length = ::readlink(path.c_str(), target, sizeof target);
            snapshot.insert(
                key, {0, QByteArray("link:") + QByteArray(target, int(length > 0 ? length : 0)),
                      QByteArray()});
        } else if (S_ISREG(info.st_mode)) {
            QByteArray bytes;
            const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
            if (fd >= 0) {
                char buffer[65536];
                ssize_t got = 0;
                while ((got = ::read(fd, buffer, sizeof buffer)) > 0) bytes.append(buffer, got);
                ::close(fd);
            }
            FileState state = StateOf(bytes);
            if (key.endsWith(u'/' + SetRecordName, Qt::CaseInsensitive)) state.record = bytes;
            snapshot.insert(key, state);
        }
    }
    ::closedir(folder);
}

// The host folder of a place of the set's layout, relative to the drive, ending in "/" (empty
// for the root).
QString HostFolderOf(SetPlace place, const QString& windowsFolder) {
    switch (place) {
    case SetPlace::DriveRoot: return QString();
    case SetPlace::WindowsFolder: return windowsFolder + u'/';
    case SetPlace::BackupRoot: return QStringLiteral("Stowix/");
    }
    return QString();
}

// The files directly in a folder of the snapshot ("" the root, "WINDOWS/"), name to path.
QMap<QString, QString> FilesIn(const Snapshot& snapshot, const QString& folder) {
    QMap<QString, QString> files;
    for (auto it = snapshot.begin(); it != snapshot.end(); ++it) {
        if (!it.key().startsWith(folder)) continue;
        const QString name = it.key().mid(folder.size());
        if (name.contains(u'/')) continue;
        files.insert(name, it.key());
    }
    return files;
}

// The stored name of a file in folder that matches name without regard to case, else name.
QString StoredName(const Snapshot& snapshot, const QString& folder, const QString& name) {
    const QMap<QString, QString> files = FilesIn(snapshot, folder);
    if (files.contains(name)) return name;
    for (auto it = files.begin(); it != files.end(); ++it)
        if (it.key().compare(name, Qt::CaseInsensitive) == 0) return it.key();
    return name;
}

bool IsInsideASet(const QString& path) {
    return path.startsWith(QLatin1String("Stowix/")) && path.indexOf(u'/', 7) >= 0;
}

bool StartsWithAny(const QString& path, const QStringList& prefixes) {
    for (const QString& prefix : prefixes)
        if (path.startsWith(prefix)) return true;
    return false;
}

}  // namespace

FileState StateOf(const QByteArray& bytes) {
    return {bytes.size(), QCryptographicHash::hash(bytes, QCryptographicHash::Sha1), QByteArray()};
}

Snapshot TakeSnapshot(const QString& hostFolder) {
    Snapshot snapshot;
    Walk(QFile::encodeName(hostFolder).toStdString(), QString(), snapshot);
    return snapshot;
}

QStringList ChangedFiles(const Snapshot& before, const Snapshot& after, const QString& prefix,
                         const QStringList& skip) {
    QStringList problems;
    for (auto it = before.begin(); it != before.end(); ++it) {
        if (!it.key().startsWith(prefix) || StartsWithAny(it.key(), skip)) continue;
        if (!after.contains(it.key()))
            problems.append(it.key() + QStringLiteral(": gone"));
        else if (after.value(it.key()) != it.value())
            problems.append(it.key() + QStringLiteral(": changed (%1 bytes, was %2)")
                                           .arg(after.value(it.key()).size)
                                           .arg(it.value().size));
    }
    for (auto it = after.begin(); it != after.end(); ++it) {
        if (!it.key().startsWith(prefix) || StartsWithAny(it.key(), skip)) continue;
        if (!before.contains(it.key())) problems.append(it.key() + QStringLiteral(": new"));
    }
    return problems;
}

qint64 UsedBytesOf(const QString& hostFolder) {
    struct statfs info {};
    if (::statfs(QFile::encodeName(hostFolder).constData(), &info) != 0) return 0;
    return qint64(info.f_blocks - info.f_bfree) * qint64(info.f_bsize);
}

qint64 BytesOfAWholeBackup(const SetSources& sources) {
    qint64 total = 0;
    for (const QList<FileState>& files : sources)
        for (const FileState& file : files) total += file.size;
    return total;
}

qint64 BytesOfSetRecords(const Snapshot& drive, const QString& setName) {
    const QByteArray record =
        drive.value(QStringLiteral("Stowix/") + setName + u'/' + SetRecordName).record;
    const qsizetype files = record.indexOf("[Files]");
    // Begun: its [Set] lines; then twice whole, the files listed ("No" one byte shorter).
    return (files < 0 ? 0 : files + 9) + 2 * record.size() - 1;
}

SetSources BackupSources(const Snapshot& drive, const QString& windowsFolder) {
    SetSources sources;
    QMap<QString, SetPlace> takenFrom;
    for (const SetGroup& group : BackupGroups) {
        const QMap<QString, QString> files =
            FilesIn(drive, HostFolderOf(group.place, windowsFolder));
        const WildcardPattern pattern(QString::fromUtf16(group.pattern));
        for (auto it = files.begin(); it != files.end(); ++it) {
            if (!pattern.Matches(it.key())) continue;
            QString name = it.key().toUpper();
            if (!takenFrom.contains(name)) takenFrom.insert(name, group.place);
            if (takenFrom.value(name) != group.place) name += QStringLiteral(".WIN");
            sources[name].append(drive.value(it.value()));
        }
    }
    return sources;
}

QStringList SetProblems(const Snapshot& after, const QString& setName, const SetSources& sources,
                        bool complete) {
    QStringList problems;
    const QString folder = QStringLiteral("Stowix/") + setName + u'/';
    const QMap<QString, QString> files = FilesIn(after, folder);
    QSet<QString> present;
    for (auto it = files.begin(); it != files.end(); ++it) {
        const QString name = it.key().toUpper();
        if (name == SetRecordName) continue;
        present.insert(name);
        const FileState state = after.value(it.value());
        if (!sources.contains(name))
            problems.append(it.value() + QStringLiteral(": not a file the backup copies"));
        else if (!sources.value(name).contains(state))
            problems.append(it.value() + QStringLiteral(": not whole (%1 bytes)").arg(state.size));
        else if (complete && sources.value(name).last() != state)
            problems.append(it.value() + QStringLiteral(": an earlier group's file"));
    }
    if (complete)
        for (auto it = sources.begin(); it != sources.end(); ++it)
            if (!present.contains(it.key()))
                problems.append(folder + it.key() + QStringLiteral(": missing"));
    return problems;
}

QMap<QString, Outcome> RestoreOutcomes(const Snapshot& before, const QString& setName,
                                       const QString& windowsFolder, const QByteArray& bootScript) {
    QMap<QString, Outcome> outcomes;
    const QString setFolder = QStringLiteral("Stowix/") + setName + u'/';
    const QMap<QString, QString> files = FilesIn(before, setFolder);
    std::optional<SetRecord> record;
    for (auto it = files.begin(); it != files.end(); ++it)
        if (it.key().compare(SetRecordName, Qt::CaseInsensitive) == 0)
            record = ParseSetRecord(QString::fromLatin1(before.value(it.value()).record));
    // A recorded twin goes back under its own name into its own folder.
    if (record) {
        for (const FileOrigin& origin : record->files) {
            if (origin.nameInSet.compare(origin.nameOnDrive, Qt::CaseInsensitive) == 0) continue;
            const QString folder = HostFolderOf(origin.place, windowsFolder);
            const QString path = folder + StoredName(before, folder, origin.nameOnDrive);
            Outcome& outcome = outcomes[path];
            if (before.contains(path)) outcome.allowed.insert(before.value(path).digest);
            outcome.final = before.value(setFolder + origin.nameInSet).digest;
            outcome.allowed.insert(outcome.final);
        }
    }
    for (const SetGroup& group : RestoreGroups) {
        const QString folder = HostFolderOf(group.place, windowsFolder);
        const WildcardPattern pattern(QString::fromUtf16(group.pattern));
        for (auto it = files.begin(); it != files.end(); ++it) {
            if (!pattern.Matches(it.key())) continue;
            const FileOrigin* origin = record ? record->Origin(it.key()) : nullptr;
            if (origin != nullptr && !group.registry &&
                (origin->place != group.place ||
                 origin->nameOnDrive.compare(origin->nameInSet, Qt::CaseInsensitive) != 0))
                continue;
            const QString path = folder + StoredName(before, folder, it.key());
            Outcome& outcome = outcomes[path];
            if (before.contains(path)) outcome.allowed.insert(before.value(path).digest);
            outcome.final = before.value(it.value()).digest;
            outcome.allowed.insert(outcome.final);
        }
    }
    const QString folder = windowsFolder + u'/';
    const QString script = folder + StoredName(before, folder, QStringLiteral("WinStart.Bat"));
    Outcome& outcome = outcomes[script];
    if (before.contains(script)) outcome.allowed.insert(before.value(script).digest);
    outcome.final = StateOf(bootScript).digest;
    outcome.allowed.insert(outcome.final);
    return outcomes;
}

QStringList RestoreProblems(const Snapshot& before, const Snapshot& after,
                            const QMap<QString, Outcome>& outcomes, bool complete,
                            const QStringList& mayVanish) {
    QStringList problems;
    QSet<QString> paths;
    for (auto it = before.begin(); it != before.end(); ++it) paths.insert(it.key());
    for (auto it = after.begin(); it != after.end(); ++it) paths.insert(it.key());
    for (const QString& path : paths) {
        if (IsInsideASet(path)) continue;
        const bool vanishes = StartsWithAny(path, mayVanish);
        if (!after.contains(path)) {
            if (vanishes) continue;
            if (before.contains(path))
                problems.append(path + QStringLiteral(": gone"));
            else if (complete && outcomes.contains(path))
                problems.append(path + QStringLiteral(": not restored"));
            continue;
        }
        const QByteArray digest = after.value(path).digest;
        if (outcomes.contains(path)) {
            const Outcome& outcome = outcomes.value(path);
            if (complete ? digest != outcome.final : !outcome.allowed.contains(digest))
                problems.append(path + QStringLiteral(": holds neither its old nor its restored "
                                                      "bytes (%1 bytes)")
                                           .arg(after.value(path).size));
        } else if (!before.contains(path)) {
            problems.append(path + QStringLiteral(": new"));
        } else if (before.value(path) != after.value(path)) {
            problems.append(path + QStringLiteral(": changed"));
        }
    }
    problems.sort();
    return problems;
}

QByteArray BootScript(const QString& windowsDosFolder) {
    const QString& w = windowsDosFolder;
    const QStringList lines{
        "@Echo Off",
        "CTTY Nul",
        "If Not Exist C:\\Stowix\\*.Da? GoTo Exit",
        w + "\\Command\\Attrib C:\\Stowix\\*.Da? -a -h -r -s",
        w + "\\Command\\Attrib " + w + "\\*.Da? -a -h -r -s",
        "Copy C:\\Stowix\\*.Da? " + w,
        w + "\\Command\\Attrib " + w + "\\*.Da? +a +h +r +s",
        "Del C:\\Stowix\\*.Da?",
        ":Exit",
        "CTTY Con",
    };
    return (lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n")).toLatin1();
}

QStringList UnlistedFiles(ProgramWorld& world, const Snapshot& before, const Snapshot& after) {
    // The folders that hold a new file, each compared once: host listing against the program's.
    QMap<QString, QStringList> added;
    for (auto it = after.begin(); it != after.end(); ++it)
        if (!before.contains(it.key()))
            added[it.key().section(u'/', 0, -2)].append(it.key().section(u'/', -1));
    QStringList unlisted;
    for (auto it = added.begin(); it != added.end(); ++it) {
        const QString folder = it.key();
        QString dosFolder = QStringLiteral("C:") + (folder.isEmpty() ? QString() : u'\\' + folder);
        dosFolder.replace(u'/', u'\\');
        const QStringList listed = world.ListedNames(dosFolder);
        for (const QString& name : it.value())
            if (!listed.contains(name))
                unlisted.append(folder.isEmpty() ? name : folder + u'/' + name);
    }
    return unlisted;
}

Snapshot Without(Snapshot snapshot, const QStringList& paths) {
    for (const QString& path : paths) snapshot.remove(path);
    return snapshot;
}

QStringList SettingsProblems(ProgramWorld& world, const Snapshot& drive,
                             const SetSources& sources) {
    QStringList problems;
    QFile file(world.SettingsFile());
    if (!file.exists()) return problems;
    if (!file.open(QIODevice::ReadOnly)) return {QStringLiteral("the settings file is unreadable")};
    const QByteArray bytes = file.readAll();
    QStringDecoder decoder(QStringDecoder::Utf8);
    const QString text = decoder(bytes);
    if (decoder.hasError() || bytes.contains('\0'))
        problems.append(QStringLiteral("the settings file is not UTF-8 text"));
    for (const QString& rawLine : text.split(QRegularExpression(QStringLiteral("[\r\n]")))) {
        const QString line = rawLine.trimmed();
        if (line.isEmpty() || line.startsWith(u';')) continue;
        if (line.startsWith(u'[') ? !line.endsWith(u']') : !line.contains(u'='))
            problems.append(QStringLiteral("a line that is no setting: ") + line);
    }
    QSettings settings(world.SettingsFile(), QSettings::IniFormat);
    if (settings.status() != QSettings::NoError)
        problems.append(QStringLiteral("QSettings cannot read the settings file"));
    const QStringList known{"Preferences/AutoExit", "Info/LastBackup", "Info/LastRestore",
                            "Info/LastDelete", "Info/Drive"};
    for (const QString& key : settings.allKeys()) {
        if (!known.contains(key)) {
            problems.append(QStringLiteral("an unknown key: ") + key);
            continue;
        }
        const QString value = settings.value(key).toString();
        // The drive the records are of: the world's one drive, as a host path.
        if (key == u"Info/Drive") {
            if (value != QFileInfo(world.DriveC()).canonicalFilePath())
                problems.append(QStringLiteral("the records are of another drive: ") + value);
            continue;
        }
        if (key.startsWith(QLatin1String("Info/")) &&
            !value.startsWith(QLatin1String("C:\\Stowix\\")))
            problems.append(key + QStringLiteral(" is not a backup set's path: ") + value);
    }
    const QString lastBackup = settings.value(QStringLiteral("Info/LastBackup")).toString();
    if (!lastBackup.isEmpty()) {
        const QStringList setProblems = SetProblems(
            drive, lastBackup.mid(QStringLiteral("C:\\Stowix\\").size()), sources, true);
        if (!setProblems.isEmpty())
            problems.append(QStringLiteral("LastBackup names an incomplete set: ") +
                            setProblems.join(QStringLiteral("; ")));
    }
    return problems;
}

}  // namespace stowix::test
