#include "hostfs/posix_windows_api.h"

#include "fs/windows_folder.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

extern char** environ;

namespace stowix {

namespace {

// Starts /bin/sh -c command as a grandchild in a session of its own, its standard input on
// /dev/null, and returns once the middle child has ended (at once): the command is never waited
// for and leaves no zombie behind. Only calls that are safe after fork run in the children.
bool StartDetached(const QByteArray& command) {
    const int input = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    if (input < 0) return false;
    char shell[] = "/bin/sh";
    char option[] = "-c";
    char* const arguments[] = {shell, option, const_cast<char*>(command.constData()), nullptr};
    int report[2];
    if (::pipe2(report, O_CLOEXEC) != 0) {
        ::close(input);
        return false;
    }
    const pid_t middle = ::fork();
    if (middle == 0) {
        ::close(report[0]);
        if (::setsid() < 0) ::_exit(1);
        const pid_t grandchild = ::fork();
        if (grandchild == 0) {
            if (::dup2(input, STDIN_FILENO) < 0) ::_exit(127);
            ::execve(shell, arguments, environ);
            // The exec failed: the middle child learns of it through the pipe's bytes.
            const char failed = 1;
            (void)!::write(report[1], &failed, 1);
            ::_exit(127);
        }
        ::_exit(grandchild < 0 ? 1 : 0);
    }
    ::close(input);
    ::close(report[1]);
    if (middle < 0) {
        ::close(report[0]);
        return false;
    }
    int status = 0;
    while (::waitpid(middle, &status, 0) < 0) {
        if (errno != EINTR) {
            ::close(report[0]);
            return false;
        }
    }
    // The pipe closes at the exec (close-on-exec) or carries one byte when the exec failed; the
    // read returns as soon as either happens, never after the command ends.
    char failed = 0;
    ssize_t got;
    do {
        got = ::read(report[0], &failed, 1);
    } while (got < 0 && errno == EINTR);
    ::close(report[0]);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 && got == 0;
}

class PosixWindowsApi final : public WindowsApi {
public:
    explicit PosixWindowsApi(FileSystem& files) : m_files(files) {}

    Result<int> GetWindowsDirectoryA(QString& buffer, int size) override {
        const QString folder =
            TRY(FindWindowsFolder(m_files, qEnvironmentVariable("STOWIX_WINDOWS_FOLDER")));
        if (folder.size() > size)
            return Result<int>::Fail(folder +
                                     QStringLiteral(" is longer than %1 characters").arg(size));
        // As the system writes into a caller's buffer: the path, then a NUL where there is room;
        // what the buffer held beyond that is left as it was.
        const qsizetype length = folder.size();
        if (buffer.size() < length) buffer.resize(length);
        buffer.replace(0, length, folder);
        if (buffer.size() > length) buffer[length] = QChar(u'\0');
        return int(length);
    }

    bool ExitWindowsEx(int /*flags*/, int /*reserved*/) override {
        const QByteArray command = qgetenv("STOWIX_RESTART_COMMAND");
        if (command.isEmpty()) return false;
        return StartDetached(command);
    }

private:
    FileSystem& m_files;
};

}  // namespace

std::unique_ptr<WindowsApi> MakePosixWindowsApi(FileSystem& files) {
    return std::make_unique<PosixWindowsApi>(files);
}

}  // namespace stowix
