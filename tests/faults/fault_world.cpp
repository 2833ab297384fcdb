#include "fault_world.h"

#include "drive_writer.h"
#include "support/test_paths.h"
#include "windows98_drive.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace stowix::test {

namespace {

constexpr uid_t NobodyId = 65534;

// The one X server of this test program, started on first use and stopped at its end.
struct XServer {
    pid_t pid = -1;
    QString display;

    ~XServer() {
        if (pid > 0) {
            ::kill(pid, SIGTERM);
            ::waitpid(pid, nullptr, 0);
        }
    }

    void Start() {
        const QString program = QStandardPaths::findExecutable(QStringLiteral("Xvfb"));
        if (program.isEmpty()) return;
        int pipeFds[2];
        if (::pipe(pipeFds) != 0) return;
        // Xvfb picks a free display itself and writes its number to the descriptor given.
        const QByteArray path = QFile::encodeName(program);
        const QByteArray fdText = QByteArray::number(pipeFds[1]);
        const char* argv[] = {
            path.constData(), "-displayfd", fdText.constData(), "-nolisten", "tcp",
            "-screen",        "0",          "1024x768x24",      nullptr};
        pid = ::fork();
        if (pid == 0) {
            // The server goes with the test program, however that ends.
            ::prctl(PR_SET_PDEATHSIG, SIGTERM);
            ::close(pipeFds[0]);
            const int null = ::open("/dev/null", O_WRONLY);
            if (null >= 0) ::dup2(null, 2);
            ::execv(path.constData(), const_cast<char**>(argv));
            ::_exit(127);
        }
        ::close(pipeFds[1]);
        if (pid < 0) {
            ::close(pipeFds[0]);
            return;
        }
        QByteArray number;
        pollfd waiting{pipeFds[0], POLLIN, 0};
        while (::poll(&waiting, 1, 20000) > 0) {
            char c = 0;
            if (::read(pipeFds[0], &c, 1) != 1 || c == '\n') break;
            number += c;
        }
        ::close(pipeFds[0]);
        if (!number.isEmpty()) display = QStringLiteral(":") + QString::fromLatin1(number);
    }
};

XServer& TheXServer() {
    static XServer server;
    return server;
}

void ChownTree(const QString& path) {
    ::chown(QFile::encodeName(path).constData(), NobodyId, NobodyId);
    QDirIterator it(path, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) ::lchown(QFile::encodeName(it.next()).constData(), NobodyId, NobodyId);
}

}  // namespace

RunOptions UnattendedRun() {
    RunOptions options;
    options.arguments = {QStringLiteral("/U")};
    return options;
}

QStringList NobodyWrapper() {
    return {QStringLiteral("setpriv"), QStringLiteral("--reuid=65534"),
            QStringLiteral("--regid=65534"), QStringLiteral("--clear-groups"),
            QStringLiteral("--")};
}

QStringList ReadOnlyMountWrapper(const QString& hostFolder) {
    return {QStringLiteral("unshare"),
            QStringLiteral("--mount"),
            QStringLiteral("--propagation"),
            QStringLiteral("private"),
            QStringLiteral("sh"),
            QStringLiteral("-c"),
            QStringLiteral("mount --bind -o ro \"$0\" \"$0\" && exec \"$@\""),
            hostFolder};
}

FaultWorld::FaultWorld(DriveOptions options) {
    if (!options.minimumFreeMb.isEmpty())
        SetEnvironment(QStringLiteral("STOWIX_MIN_FREE_MB"), options.minimumFreeMb);
    if (options.smallDiskBytes > 0) {
        const QByteArray size = "size=" + QByteArray::number(options.smallDiskBytes);
        if (::mount("tmpfs", QFile::encodeName(Drive()).constData(), "tmpfs", 0,
                    size.constData()) != 0) {
            m_mountError = QString::fromLocal8Bit(std::strerror(errno));
            return;
        }
        m_mounted = true;
    }
    tools::DriveOptions drive;
    drive.extraIniFiles = options.extraIniFiles;
    drive.systemDatMegabytes = options.systemDatMegabytes;
    if (const QString error = tools::WriteDrive(tools::Windows98Drive(drive), Drive());
        !error.isEmpty())
        ADD_FAILURE() << "cannot write the drive: " << error.toStdString();
}

FaultWorld::~FaultWorld() {
    if (m_mounted) ::umount2(QFile::encodeName(Drive()).constData(), MNT_DETACH);
}

bool FaultWorld::ResizeSmallDisk(qint64 bytes) {
    const QByteArray size = "size=" + QByteArray::number(bytes);
    return m_mounted && ::mount("tmpfs", QFile::encodeName(Drive()).constData(), "tmpfs",
                                MS_REMOUNT, size.constData()) == 0;
}

QString FaultWorld::Display() {
    XServer& server = TheXServer();
    static bool started = false;
    if (!started) {
        started = true;
        server.Start();
    }
    return server.display;
}

RunResult FaultWorld::RunWithFaults(const QString& program, const RunOptions& options) {
    QProcessEnvironment environment = Environment();
    // The preloaded libraries come before a sanitizer's runtime in a sanitized build.
    environment.insert(QStringLiteral("ASAN_OPTIONS"),
                       QStringLiteral("verify_asan_link_order=0:detect_leaks=0"));

    QStringList preload;
    const Faults& faults = options.faults;
    if (faults.Any()) {
        preload.append(QStringLiteral(STOWIX_FAULT_SHIM));
        if (faults.fullAfterBytes) {
            environment.insert(QStringLiteral("STOWIX_FAULT_FULL_PREFIX"),
                               faults.fullPrefix.isEmpty() ? DriveC() : faults.fullPrefix);
            environment.insert(QStringLiteral("STOWIX_FAULT_FULL_BYTES"),
                               QString::number(*faults.fullAfterBytes));
        }
        if (!faults.unreadableSuffix.isEmpty())
            environment.insert(QStringLiteral("STOWIX_FAULT_EIO_SUFFIX"), faults.unreadableSuffix);
        if (faults.killAt || !faults.countFile.isEmpty())
            environment.insert(QStringLiteral("STOWIX_FAULT_KILL_PREFIX"),
                               faults.killPrefix.isEmpty() ? DriveC() : faults.killPrefix);
        if (faults.killAt)
            environment.insert(QStringLiteral("STOWIX_FAULT_KILL_AT"),
                               QString::number(*faults.killAt));
        if (!faults.countFile.isEmpty())
            environment.insert(QStringLiteral("STOWIX_FAULT_COUNT_FILE"), faults.countFile);
        if (!faults.bytesFile.isEmpty())
            environment.insert(QStringLiteral("STOWIX_FAULT_BYTES_FILE"), faults.bytesFile);
        if (!faults.growSuffix.isEmpty())
            environment.insert(QStringLiteral("STOWIX_FAULT_GROW_SUFFIX"), faults.growSuffix);
        if (!faults.swapSuffix.isEmpty()) {
            environment.insert(QStringLiteral("STOWIX_FAULT_SWAP_SUFFIX"), faults.swapSuffix);
            environment.insert(QStringLiteral("STOWIX_FAULT_SWAP_TARGET"), faults.swapTarget);
            if (faults.swapOnUnlink)
                environment.insert(QStringLiteral("STOWIX_FAULT_SWAP_ON_UNLINK"),
                                   QStringLiteral("1"));
        }
        if (!faults.syncLog.isEmpty())
            environment.insert(QStringLiteral("STOWIX_FAULT_SYNC_LOG"), faults.syncLog);
    }
    if (!options.robot.isEmpty()) {
        const QString display = Display();
        if (display.isEmpty()) ADD_FAILURE() << "the robot's run needs Xvfb";
        environment.insert(QStringLiteral("DISPLAY"), display);
        environment.insert(QStringLiteral("STOWIX_ROBOT_SCRIPT"), options.robot.join(u'\n'));
        preload.append(QStringLiteral(STOWIX_USER_ROBOT));
    }
    if (!preload.isEmpty()) environment.insert(QStringLiteral("LD_PRELOAD"), preload.join(u' '));
    for (const QString& name : options.unset) environment.remove(name);
    for (auto it = options.environment.begin(); it != options.environment.end(); ++it)
        environment.insert(it.key(), it.value());

    ProcessOptions process;
    process.arguments = options.arguments;
    process.environment = environment;
    process.wrapper = options.wrapper;
    process.timeoutMs = options.timeoutMs;
    process.killAfterMs = options.killAfterMs;
    return Run(program, process);
}

RunResult FaultWorld::Stowix(const RunOptions& options) {
    return RunWithFaults(options.programFolder.isEmpty()
                             ? QStringLiteral("stowix")
                             : options.programFolder + QStringLiteral("/stowix"),
                         options);
}

RunResult FaultWorld::Tool(const QString& name, const RunOptions& options) {
    return RunWithFaults(name, options);
}

RunResult FaultWorld::Boot(const Faults& faults) {
    RunOptions options;
    options.faults = faults;
    return RunWithFaults(QStringLiteral("stowix-boot"), options);
}

QString FaultWorld::MakeOlderSet() {
    const QStringList before = SetNames();
    const RunResult result = Stowix(UnattendedRun());
    EXPECT_TRUE(result.Ended(0)) << result.Describe();
    const QString made = NewSet(before);
    if (made.isEmpty()) {
        ADD_FAILURE() << "the clean run made no set";
        return QString();
    }
    if (!QDir(BackupRoot()).rename(made, OlderSetName()))
        ADD_FAILURE() << "cannot rename the set " << made.toStdString();
    WriteSetting(QStringLiteral("Info"), QStringLiteral("LastBackup"),
                 QStringLiteral("C:\\Stowix\\") + OlderSetName());
    return OlderSetName();
}

QStringList FaultWorld::RestoreSteps(const QString& setName) {
    return {QStringLiteral("click Form1.Command2"), QStringLiteral("open C:\\Stowix\\") + setName,
            QStringLiteral("answer Yes"), QStringLiteral("click Form2.Command1"),
            QStringLiteral("click Form1.Command3")};
}

QStringList FaultWorld::DeleteSteps(const QString& setName) {
    return {QStringLiteral("trigger DeleteMenu"), QStringLiteral("open C:\\Stowix\\") + setName,
            QStringLiteral("answer Yes"), QStringLiteral("click Form2.Command1"),
            QStringLiteral("click Form1.Command3")};
}

QString FaultWorld::ProgramFolderWithout(const QStringList& names) {
    const QString folder = Root() + QStringLiteral("/program");
    if (!QDir().mkpath(folder)) ADD_FAILURE() << "cannot make " << folder.toStdString();
    const QDir bin(BuildDir() + QStringLiteral("/bin"));
    for (const QString& name : bin.entryList(QDir::Files)) {
        if (names.contains(name)) continue;
        if (!QFile::copy(bin.filePath(name), folder + u'/' + name))
            ADD_FAILURE() << "cannot copy " << name.toStdString();
    }
    return folder;
}

bool FaultWorld::CanRunAsNobody() {
    if (QStandardPaths::findExecutable(QStringLiteral("setpriv")).isEmpty()) return false;
    // The world becomes nobody's; its root must let nobody in.
    QFile::setPermissions(Root(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                      QFile::ReadOther | QFile::ExeOther | QFile::ReadGroup |
                                      QFile::ExeGroup);
    ChownTree(Drive());
    ChownTree(Config());
    ChownTree(Runtime());
    ChownTree(Home());
    RunOptions probe;
    probe.wrapper = NobodyWrapper();
    probe.arguments = {QStringLiteral("--version")};
    const RunResult result = RunWithFaults(QStringLiteral("stowix-dir"), probe);
    // stowix-dir --version prints its version and ends with 0: the program was reached.
    return result.Ended(0);
}

bool FaultWorld::CanMountReadOnly() {
    if (QStandardPaths::findExecutable(QStringLiteral("unshare")).isEmpty()) return false;
    RunOptions probe;
    probe.wrapper = ReadOnlyMountWrapper(Config());
    return RunWithFaults(QStringLiteral("/bin/true"), probe).Ended(0);
}

}  // namespace stowix::test
