#pragma once
// This type gives a fault test one world for the real programs: a fresh temporary folder holding
// a generated Windows 98 drive C:, the user's configuration folder (settings at
// config/Stowix/Stowix.ini) and a private runtime folder (the single-instance lock), and runs
// stowix, stowix-boot and stowix-dir there with the faults a test asks for: the fault injector
// preloaded with its settings, the user stand-in on a real X display with its script. Every run
// is bounded in time; a run that does not end is killed and reported as a failure. It does not
// deal with judging the outcome (drive_checks.h does).

#include <QByteArray>
#include <QMap>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <optional>

namespace stowix::test {

// How a run ended and what it wrote.
struct RunResult {
    int exitCode = -1;     // the exit status, when it ended normally
    bool killed = false;   // ended by a signal (SIGKILL from the injector or the test)
    bool timedOut = false;
    qint64 processId = 0;
    QString output;
    QString errors;

    bool Ended(int status) const { return !killed && !timedOut && exitCode == status; }
    // For a failure message.
    std::string Describe() const;
};

// The faults of one run; every field left empty injects nothing.
struct Faults {
    // A disk that fills up after this many bytes written under the host folder fullPrefix
    // (empty: drive C:).
    std::optional<long long> fullAfterBytes;
    QString fullPrefix;
    // Reads fail with EIO from the host file whose path ends with this text ("/WINDOWS/WIN.INI").
    QString unreadableSuffix;
    // The program kills itself before its killAt-th change under the host folder killPrefix
    // (empty: drive C:), counted from 1.
    std::optional<long long> killAt;
    QString killPrefix;
    // The number of changes a whole run made is written here (kill points are chosen in it).
    QString countFile;
    // The first read from the host file whose path ends with this text appends a line to it
    // first: a file written to while it is copied.
    QString growSuffix;
    // Right before the first mode change of the entry whose host path ends with swapSuffix, a
    // symbolic link to swapTarget takes its place (the entry is renamed to its name + ".swapped").
    QString swapSuffix;
    QString swapTarget;
    // Every flush (syncfs, fsync, fdatasync) appends its descriptor's host path to this file.
    QString syncLog;

    bool Any() const {
        return fullAfterBytes || !unreadableSuffix.isEmpty() || killAt || !countFile.isEmpty() ||
               !growSuffix.isEmpty() || !swapSuffix.isEmpty() || !syncLog.isEmpty();
    }
};

struct RunOptions {
    QStringList arguments;
    Faults faults;
    // Steps for the user stand-in (user_robot.cpp); non-empty runs the program on the X display.
    QStringList robot;
    // Extra environment, and names to remove from it.
    QMap<QString, QString> environment;
    QStringList unset;
    // Another program folder than the build's bin/ (a copy without the media files).
    QString programFolder;
    // A command that starts the program (its arguments follow): NobodyWrapper(),
    // ReadOnlyMountWrapper().
    QStringList wrapper;
    int timeoutMs = 60000;
    // When set, the test kills the program (SIGKILL) this long after its start, if it still runs.
    std::optional<int> killAfterMs;
};

// The options of a plain "/U" run.
RunOptions UnattendedRun();

// Runs the program as the user nobody (65534), for permission faults that root does not meet.
QStringList NobodyWrapper();
// Runs the program in a mount namespace of its own where hostFolder is mounted read-only; the
// mount goes with the program.
QStringList ReadOnlyMountWrapper(const QString& hostFolder);

class ProgramWorld {
public:
    struct DriveOptions {
        int extraIniFiles = 0;
        int systemDatMegabytes = 2;
        // When not 0, drive C: is a file system of its own (tmpfs) of this size, so that it
        // really fills up; MountError() tells why that was not possible.
        qint64 smallDiskBytes = 0;
    };
    explicit ProgramWorld(DriveOptions options);
    ProgramWorld() : ProgramWorld(DriveOptions{}) {}
    ~ProgramWorld();
    ProgramWorld(const ProgramWorld&) = delete;
    ProgramWorld& operator=(const ProgramWorld&) = delete;

    QString MountError() const { return m_mountError; }
    // Gives the small disk this size; false when it cannot.
    bool ResizeSmallDisk(qint64 bytes);

    // Host folders.
    QString Root() const { return m_root.path(); }
    QString Drive() const { return m_root.path() + QStringLiteral("/c"); }
    QString Config() const { return m_root.path() + QStringLiteral("/config"); }
    QString SettingsFile() const { return Config() + QStringLiteral("/Stowix/Stowix.ini"); }
    QString Runtime() const { return m_root.path() + QStringLiteral("/runtime"); }
    QString BackupRoot() const { return Drive() + QStringLiteral("/Stowix"); }

    // The programs, each ended within its time bound.
    RunResult Stowix(const RunOptions& options);
    RunResult Boot(const Faults& faults = {});
    // Any of the build's programs (bin/<name>): stowix-boot, stowix-dir.
    RunResult Tool(const QString& name, const RunOptions& options);
    // What stowix-dir lists for a DOS folder: the names only.
    QStringList ListedNames(const QString& dosFolder);

    // An older backup set made by a clean unattended run, then given the fixed name
    // OlderSetName and recorded as the last backup, so that later runs never share its second.
    QString MakeOlderSet();
    static QString OlderSetName() { return QStringLiteral("1-1-99 1;00;00 AM"); }
    // The backup sets' folder names, sorted.
    QStringList SetNames() const;
    // The one set that is not in before, or empty when there is none or more than one.
    QString NewSet(const QStringList& before) const;

    // The settings file's value, read as the program reads it; empty when absent.
    QString Setting(const QString& section, const QString& key) const;
    void WriteSetting(const QString& section, const QString& key, const QString& value);

    // The robot's steps that restore (or delete) one set, confirming it, and then leave through
    // Done and Exit. Every other box on the way (a report, the restart question) is dismissed
    // with No and logged, so a test reads from standard error which boxes came.
    static QStringList RestoreSteps(const QString& setName);
    static QStringList DeleteSteps(const QString& setName);

    // A copy of the program folder without some of its files.
    QString ProgramFolderWithout(const QStringList& names);

    // The build folder's bin/: stowix, stowix-boot, stowix-dir.
    static QString BuildBin();
    // The X display the robot's runs use, started on first use; empty when there is no Xvfb.
    static QString Display();
    // Makes the world nobody's, and tells whether a run as nobody reaches it and the programs.
    bool CanRunAsNobody();
    // Whether a read-only mount can be made for a run here.
    bool CanMountReadOnly();

private:
    RunResult Run(const QString& program, const RunOptions& options);

    QTemporaryDir m_root;
    bool m_mounted = false;
    QString m_mountError;
};

}  // namespace stowix::test
