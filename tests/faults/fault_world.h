#pragma once
// The program world of the fault tests (support/program_world.h) with a generated Windows 98
// drive C: in it, and the programs run there with the faults a test asks for: the fault injector
// preloaded with its settings, the user stand-in on a real X display with its script, kill
// points, another user or a read-only mount. It does not deal with judging the outcome
// (drive_checks.h does).

#include "support/program_world.h"

#include <QByteArray>
#include <QMap>
#include <QString>
#include <QStringList>

#include <optional>

namespace stowix::test {

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
    // With countFile, the number of bytes written under fullPrefix is written here.
    QString bytesFile;
    // The first read from the host file whose path ends with this text appends a line to it
    // first: a file written to while it is copied.
    QString growSuffix;
    // Right before the first mode change of the entry whose host path ends with swapSuffix, a
    // symbolic link to swapTarget takes its place (the entry is renamed to its name + ".swapped").
    QString swapSuffix;
    QString swapTarget;
    // The swap comes instead right after the first removal of an entry inside that entry: a
    // folder swapped for a link while the program empties it.
    bool swapOnUnlink = false;
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

class FaultWorld : public ProgramWorld {
public:
    struct DriveOptions {
        int extraIniFiles = 0;
        int systemDatMegabytes = 2;
        // When not 0, drive C: is a file system of its own (tmpfs) of this size, so that it
        // really fills up; MountError() tells why that was not possible.
        qint64 smallDiskBytes = 0;
        // STOWIX_MIN_FREE_MB for every run of this world (the older set's too); unset: none.
        QString minimumFreeMb;
    };
    explicit FaultWorld(DriveOptions options);
    FaultWorld() : FaultWorld(DriveOptions{}) {}
    ~FaultWorld() override;

    QString MountError() const { return m_mountError; }
    // Gives the small disk this size; false when it cannot.
    bool ResizeSmallDisk(qint64 bytes);

    // The programs, each ended within its time bound.
    RunResult Stowix(const RunOptions& options);
    RunResult Boot(const Faults& faults = {});
    // Any of the build's programs (bin/<name>): stowix-boot, stowix-dir.
    RunResult Tool(const QString& name, const RunOptions& options);

    // An older backup set made by a clean unattended run, then given the fixed name
    // OlderSetName and recorded as the last backup, so that later runs never share its second.
    QString MakeOlderSet();
    static QString OlderSetName() { return QStringLiteral("1-1-99 1;00;00 AM"); }
    // The robot's steps that restore (or delete) one set, confirming it, and then leave through
    // Done and Exit. Every other box on the way (a report, the restart question) is dismissed
    // with No and logged, so a test reads from standard error which boxes came.
    static QStringList RestoreSteps(const QString& setName);
    static QStringList DeleteSteps(const QString& setName);

    // A copy of the program folder without some of its files.
    QString ProgramFolderWithout(const QStringList& names);

    // The X display the robot's runs use, started on first use; empty when there is no Xvfb.
    static QString Display();
    // Makes the world nobody's, and tells whether a run as nobody reaches it and the programs.
    bool CanRunAsNobody();
    // Whether a read-only mount can be made for a run here.
    bool CanMountReadOnly();

private:
    RunResult RunWithFaults(const QString& program, const RunOptions& options);

    bool m_mounted = false;
    QString m_mountError;
};

}  // namespace stowix::test
