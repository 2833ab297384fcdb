#include "restore/boot_script.h"

#include "files/file_routines.h"
#include "shell/program_values.h"

namespace stowix {

QString BootScriptPath(const QString& windowsFolder) {
    return windowsFolder + QStringLiteral("\\WinStart.Bat");
}

std::vector<QString> BootScriptLines(const QString& windowsFolder) {
    const QString& w = windowsFolder;
    const QString staged = BackupRoot + QStringLiteral("\\*.Da?");
    const QString attrib = w + QStringLiteral("\\Command\\Attrib ");
    return {
        QStringLiteral("@Echo Off"),
        QStringLiteral("CTTY Nul"),
        QStringLiteral("If Not Exist ") + staged + QStringLiteral(" GoTo Exit"),
        attrib + staged + QStringLiteral(" -a -h -r -s"),
        attrib + w + QStringLiteral("\\*.Da? -a -h -r -s"),
        QStringLiteral("Copy ") + staged + u' ' + w,
        attrib + w + QStringLiteral("\\*.Da? +a +h +r +s"),
        QStringLiteral("Del ") + staged,
        QStringLiteral(":Exit"),
        QStringLiteral("CTTY Con"),
    };
}

Status WriteBootScript(FileSystem& files, const QString& windowsFolder) {
    const QString path = BootScriptPath(windowsFolder);
    // Clears read-only, hidden and system first, so that an old script of any kind gives way.
    if (Status deleted = DeleteFileForced(files, path); !deleted) return deleted;
    return files.WriteTextFile(path, BootScriptLines(windowsFolder));
}

}  // namespace stowix
