#include "platform/posix/posix_windows_api.h"

#include "platform/posix/folder_reader.h"
#include "platform/posix/host_calls.h"
#include "platform/posix/host_names.h"
#include "platform/names/name_case.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <cerrno>
#include <cstdlib>

extern char** environ;

namespace stowix {

namespace {

using namespace posix;

// The same through the program's file system, for a drive C: that is a disk image.
QString FindWindowsFolder(FileSystem& files)
{
    const Result<std::vector<FolderEntry>> entries = files.ListFolder(
        QStringLiteral("C:\\WINDOWS"),
        Attribute::Folder | Attribute::ReadOnly | Attribute::Hidden | Attribute::System);
    if (!entries)
        return QString();
    for (const FolderEntry& entry : entries.value()) {
        if ((entry.attributes & Attribute::Folder) != 0)
            return entry.name;
    }
    return QString();
}

// The stored name of the first folder in drive C:'s root that is named WINDOWS in any case.
QString FindWindowsFolder(const DriveMap& drives)
{
    const std::optional<std::string> drive = drives.Folder(u'C');
    if (!drive)
        return QString();
    UniqueFd root(::open(drive->c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!root.Valid())
        return QString();
    FolderReader reader(root.Get());
    FolderReader::Entry entry{};
    while (reader.Next(entry)) {
        if (!HostNameMatches(entry.name, u"WINDOWS"))
            continue;
        const std::string name(entry.name);
        // A link counts when it leads to a folder inside the drive.
        UniqueFd folder = OpenBeneath(root.Get(), name.c_str(), O_PATH | O_DIRECTORY);
        if (folder.Valid())
            return NameFromHost(name);
    }
    return QString();
}

class PosixWindowsApi final : public WindowsApi {
public:
    PosixWindowsApi(DriveMap drives, FileSystem* files)
        : m_drives(std::move(drives)), m_files(files) {}

    int GetWindowsDirectoryA(QString& buffer, int size) override
    {
        QString folder = qEnvironmentVariable("STOWIX_WINDOWS_FOLDER");
        if (!folder.isEmpty()) {
            // "C:\WINDOWS\" is reported as Windows would report it, without the backslash.
            while (folder.size() > 3 && (folder.endsWith(u'\\') || folder.endsWith(u'/')))
                folder.chop(1);
        } else {
            const std::optional<DriveSource> drive = m_drives.Source(u'C');
            const bool image = drive && drive->kind == DriveKind::Image;
            const QString stored = image ? (m_files ? FindWindowsFolder(*m_files) : QString())
                                         : FindWindowsFolder(m_drives);
            if (stored.isEmpty())
                return 0;
            folder = QStringLiteral("C:\\") + stored;
        }
        if (folder.size() > size)
            return 0;
        // As the system writes into a caller's buffer: the path, then a NUL where there is room;
        // what the buffer held beyond that is left as it was.
        const qsizetype length = folder.size();
        if (buffer.size() < length)
            buffer.resize(length);
        buffer.replace(0, length, folder);
        if (buffer.size() > length)
            buffer[length] = QChar(u'\0');
        return int(length);
    }

    bool ExitWindowsEx(int /*flags*/, int /*reserved*/) override
    {
        const QByteArray command = qgetenv("STOWIX_RESTART_COMMAND");
        if (command.isEmpty())
            return false;
        char shell[] = "/bin/sh";
        char option[] = "-c";
        char* const arguments[] = {shell, option, const_cast<char*>(command.constData()),
                                   nullptr};
        pid_t child = 0;
        if (::posix_spawn(&child, shell, nullptr, nullptr, arguments, environ) != 0)
            return false;
        int status = 0;
        while (::waitpid(child, &status, 0) < 0) {
            if (errno != EINTR)
                return false;
        }
        return WIFEXITED(status) && WEXITSTATUS(status) == 0;
    }

private:
    DriveMap m_drives;
    FileSystem* m_files;  // non-owning
};

}  // namespace

std::unique_ptr<WindowsApi> MakePosixWindowsApi(DriveMap drives, FileSystem* files)
{
    return std::make_unique<PosixWindowsApi>(std::move(drives), files);
}

}  // namespace stowix
