#include "restore/boot_script.h"

#include "files/file_routines.h"
#include "shell/program_values.h"

#include <algorithm>
#include <array>

namespace stowix {

namespace {

// The characters that Windows-1252 holds beyond ASCII and Latin-1's upper half, at 0x80 to 0x9F.
constexpr std::array<char16_t, 32> AnsiHighControlRange{
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

bool FitsAnsiCodePage(QStringView text) {
    return std::all_of(text.begin(), text.end(), [](QChar c) {
        const char16_t unit = c.unicode();
        if (unit < 0x80 || (unit >= 0xA0 && unit <= 0xFF)) return true;
        return std::find(AnsiHighControlRange.begin(), AnsiHighControlRange.end(), unit) !=
               AnsiHighControlRange.end();
    });
}

const QString ScriptName = QStringLiteral("WinStart.Bat");

// True when the file at path exists under exactly this name on the host.
bool IsStoredAs(FileSystem& files, const QString& path, const QString& name) {
    constexpr int everyFile = Attribute::ReadOnly | Attribute::Hidden | Attribute::System;
    const Result<std::vector<FolderEntry>> found = files.ListFolder(path, everyFile);
    return found && found.value().size() == 1 && found.value().front().name == name;
}

}  // namespace

QString BootScriptPath(const QString& windowsFolder) {
    return windowsFolder + u'\\' + ScriptName;
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
    // The file is written in the ANSI code page, where a character it cannot hold becomes "?":
    // the script would then name another folder, or a wildcard that matches several. Such a
    // Windows folder is refused before the old script is touched.
    if (!FitsAnsiCodePage(windowsFolder))
        return Status::Fail(path + QStringLiteral(
                                       ": the Windows folder's name cannot be written in the "
                                       "ANSI code page (Windows-1252)"));
    const std::vector<QString> lines = BootScriptLines(windowsFolder);
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
