#include "registry/wine_prefix_files.h"

#include "registry/file_reader_bfio.h"
#include "registry/registry_file_check.h"
#include "registry/wine_registry.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <sys/stat.h>

namespace stowix {

namespace {

// Every file of the set, hidden or not.
constexpr int EveryFile = Attribute::ReadOnly | Attribute::Hidden | Attribute::System;

bool Required(const QString& name) { return name != QStringLiteral("userdef.reg"); }

QString HostPathIn(const QString& prefix, const QString& name) { return prefix + u'/' + name; }

// The text of a process's file under /proc (comm, environ); empty when it cannot be read.
QByteArray ProcText(const QString& pid, const char* what) {
    QFile file(QStringLiteral("/proc/") + pid + u'/' + QLatin1String(what));
    if (!file.open(QIODevice::ReadOnly)) return {};
    return file.readAll();
}

QString Canonical(const QString& path) {
    const QString canonical = QFileInfo(path).canonicalFilePath();
    return canonical.isEmpty() ? QDir::cleanPath(path) : canonical;
}

// The prefix a wineserver serves: its WINEPREFIX, else ~/.wine of its HOME.
QString PrefixOfProcess(const QString& pid) {
    QString home;
    for (const QByteArray& entry : ProcText(pid, "environ").split('\0')) {
        if (entry.startsWith("WINEPREFIX=") && entry.size() > 11)
            return Canonical(QFile::decodeName(entry.mid(11)));
        if (entry.startsWith("HOME=")) home = QFile::decodeName(entry.mid(5));
    }
    return home.isEmpty() ? QString() : Canonical(home + QStringLiteral("/.wine"));
}

// A wineserver works in its prefix's server folder, named by the prefix folder's device and
// inode ("server-803-1a2b"): this finds it also when its environment cannot be read.
bool WorksInServerFolderOf(const QString& pid, const QString& prefix) {
    struct stat info {};
    if (::stat(QFile::encodeName(prefix).constData(), &info) != 0) return false;
    const QString folder = QFileInfo(QStringLiteral("/proc/") + pid + QStringLiteral("/cwd"))
                               .symLinkTarget()
                               .section(u'/', -1);
    return folder == QStringLiteral("server-%1-%2")
                         .arg(qulonglong(info.st_dev), 0, 16)
                         .arg(qulonglong(info.st_ino), 0, 16);
}

}  // namespace

std::vector<CopyFailure> CopyWineRegistryIntoSet(FileSystem& files, const QString& prefix,
                                                 const QString& setPath) {
    std::vector<CopyFailure> failures;
    for (const QString& name : WineRegistryFileNames()) {
        const QString source = HostPathIn(prefix, name);
        QFile file(source);
        if (!QFileInfo(source).isFile()) {
            if (Required(name)) failures.push_back({source, QStringLiteral("not found")});
            continue;
        }
        if (!file.open(QIODevice::ReadOnly)) {
            failures.push_back({source, file.errorString()});
            continue;
        }
        BytesReader reader(file.readAll());
        if (file.error() != QFileDevice::NoError) {
            failures.push_back({source, file.errorString()});
            continue;
        }
        const QDateTime lastWrite = QFileInfo(source).lastModified();
        if (Status written =
                files.WriteFileFrom(reader, std::nullopt, lastWrite, setPath + u'\\' + name, {});
            !written)
            failures.push_back({source, written.reason()});
    }
    return failures;
}

std::optional<qint64> RunningWineserver(const QString& prefix) {
    const QString wanted = Canonical(prefix);
    const QStringList pids = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs);
    for (const QString& pid : pids) {
        bool number = false;
        const qint64 id = pid.toLongLong(&number);
        if (!number) continue;
        const QByteArray name = ProcText(pid, "comm").trimmed();
        if (!name.startsWith("wineserver")) continue;
        if (PrefixOfProcess(pid) == wanted || WorksInServerFolderOf(pid, wanted)) return id;
    }
    return std::nullopt;
}

Status RestoreWineRegistry(FileSystem& files, const QString& setFolder, const QString& prefix) {
    if (const std::optional<qint64> server = RunningWineserver(prefix))
        return Status::Fail(
            QStringLiteral("Wine's wineserver (process %1) runs for the prefix %2 and would write "
                           "its own registry over the restored one; end it (close the prefix's "
                           "Wine programs, or run wineserver -k with WINEPREFIX=%2) and restore "
                           "again")
                .arg(*server)
                .arg(prefix));
    // Every file is written aside first; only when all are written do they take the old ones'
    // places, so that a failure leaves the prefix's registry as it was.
    std::vector<std::unique_ptr<QSaveFile>> pending;
    for (const QString& name : WineRegistryFileNames()) {
        const Result<std::vector<FolderEntry>> found =
            files.ListFolder(setFolder + u'\\' + name, EveryFile);
        if (!found || found.value().empty()) {
            if (Required(name))
                return Status::Fail(QStringLiteral("the set holds no ") + name +
                                    QStringLiteral(", and Wine's registry is restored whole"));
            continue;
        }
        const Result<QByteArray> bytes =
            files.ReadFile(setFolder + u'\\' + found.value().front().name, MaxRegistryBytes);
        if (!bytes) return Status::Fail(name + QStringLiteral(": ") + bytes.reason());
        auto file = std::make_unique<QSaveFile>(HostPathIn(prefix, name));
        if (!file->open(QIODevice::WriteOnly) || file->write(bytes.value()) != bytes.value().size())
            return Status::Fail(HostPathIn(prefix, name) + QStringLiteral(": ") +
                                file->errorString());
        pending.push_back(std::move(file));
    }
    for (const auto& file : pending)
        if (!file->commit())
            return Status::Fail(file->fileName() + QStringLiteral(": ") + file->errorString());
    return Status::Ok();
}

}  // namespace stowix
