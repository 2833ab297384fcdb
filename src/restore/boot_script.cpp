#include "restore/boot_script.h"

#include "files/file_routines.h"
#include "sets/backup_root.h"
#include "sets/backup_set_layout.h"

namespace stowix {

namespace {

const QString ScriptName = QStringLiteral("WinStart.Bat");

// True when the file at path exists under exactly this name on the host.
bool IsStoredAs(FileSystem& files, const QString& path, const QString& name) {
    constexpr int everyFile = Attribute::ReadOnly | Attribute::Hidden | Attribute::System;
    const Result<std::vector<FolderEntry>> found = files.ListFolder(path, everyFile);
    return found && found.value().size() == 1 && found.value().front().name == name;
}

}  // namespace

QString BootScriptPath(const QString& windowsFolder) { return windowsFolder + u'\\' + ScriptName; }

std::vector<QString> BootScriptLines(const QString& windowsFolder) {
    const QString& w = windowsFolder;
    const QString pattern = QString::fromUtf16(StagedPattern);
    const QString staged = BackupRoot + u'\\' + pattern;
    const QString attrib = w + QStringLiteral("\\Command\\Attrib ");
    return {
        QStringLiteral("@Echo Off"),
        QStringLiteral("CTTY Nul"),
        QStringLiteral("If Not Exist ") + staged + QStringLiteral(" GoTo Exit"),
        attrib + staged + QStringLiteral(" -a -h -r -s"),
        attrib + w + u'\\' + pattern + QStringLiteral(" -a -h -r -s"),
        QStringLiteral("Copy ") + staged + u' ' + w,
        attrib + w + u'\\' + pattern + QStringLiteral(" +a +h +r +s"),
        QStringLiteral("Del ") + staged,
        QStringLiteral(":Exit"),
        QStringLiteral("CTTY Con"),
    };
}

Result<QString> BootScriptFolder(FileSystem& files, const QString& windowsFolder) {
    Result<QString> dosName = files.ShortPath(windowsFolder);
    if (dosName) return dosName;
    return Status::Fail(
        QStringLiteral("The Windows folder %1 has no name that DOS can use (%2). The boot script "
                       "runs before Windows loads, where only short 8.3 names of plain letters "
                       "and digits exist, so it could not put the restored registry in place.")
            .arg(windowsFolder, dosName.reason()));
}

Status WriteBootScript(FileSystem& files, const QString& windowsFolder) {
    const QString path = BootScriptPath(windowsFolder);
    // The script names the Windows folder as DOS can: a long name or one with blanks would make
    // its commands fail at the next start. Such a folder is refused before the old script is
    // touched.
    const Result<QString> dosFolder = BootScriptFolder(files, windowsFolder);
    if (!dosFolder) return Status::Fail(path + QStringLiteral(": ") + dosFolder.reason());
    const std::vector<QString> lines = BootScriptLines(dosFolder.value());
    // An old script under the script's own name is replaced in one step rather than deleted
    // first, so that a program killed in between cannot leave the Windows folder without one.
    // Its read-only, hidden and system bits are cleared so that it gives way, and put back if
    // the new one cannot be written.
    const Result<int> old = files.ReadAttributes(path);
    if (old && (old.value() & Attribute::Folder) == 0 && IsStoredAs(files, path, ScriptName)) {
        if (old.value() != 0) {
            if (Status cleared = files.WriteAttributes(path, 0); !cleared) return cleared;
        }
        const Status written = files.WriteTextFile(path, lines);
        if (!written && old.value() != 0) (void)files.WriteAttributes(path, old.value());
        return written;
    }
    // Stored in another case ("WINSTART.BAT"), it is deleted first, whatever its attributes, so
    // that the new script takes the name the program gives it.
    if (Status deleted = DeleteFileForced(files, path); !deleted) return deleted;
    return files.WriteTextFile(path, lines);
}

}  // namespace stowix
