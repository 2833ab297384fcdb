#pragma once
// This type gives a test of the built programs one world of their own: a fresh temporary folder
// holding drive C: (the folder c/, left empty for the test to fill), the user's configuration
// folder (settings at config/Stowix/Stowix.ini), a private runtime folder (the single-instance
// lock) and a home, and an environment that points the programs at them and at nothing of the
// user's or of the test runner's (no display, no Wine prefix, no preloaded library). It runs the
// build's programs (stowix, stowix-boot, stowix-check, stowix-diff, stowix-dir, ...) there, each
// bounded in time: a run that does not end is killed and reported as a failure. It reads the
// settings as the program reads them. It does not deal with faults, the windows or judging the
// outcome: each suite builds those on it.

#include <QMap>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace stowix::test {

// How a run ended and what it wrote.
struct RunResult {
    int exitCode = -1;    // the exit status, when it ended normally; -1 otherwise
    bool killed = false;  // ended by a signal (SIGKILL from the fault injector or the test)
    bool timedOut = false;
    qint64 processId = 0;
    QString output;
    QString errors;

    bool Ended(int status) const { return !killed && !timedOut && exitCode == status; }
    // For a failure message.
    std::string Describe() const;
};

// How one program runs.
struct ProcessOptions {
    QStringList arguments;
    // The whole environment; the world's own (ProgramWorld::Environment) when not given.
    std::optional<QProcessEnvironment> environment;
    // A command that starts the program (its arguments follow), such as setpriv or unshare.
    QStringList wrapper;
    // A bound against a hang, not a measure of speed.
    int timeoutMs = 120000;
    // When set, the test kills the program (SIGKILL) this long after its start, if it still runs.
    std::optional<int> killAfterMs;
    // Runs in the child just before the program starts.
    std::function<void()> childModifier;
};

class ProgramWorld {
public:
    ProgramWorld();
    virtual ~ProgramWorld() = default;
    ProgramWorld(const ProgramWorld&) = delete;
    ProgramWorld& operator=(const ProgramWorld&) = delete;

    // Host folders.
    QString Root() const { return m_root.path(); }
    QString Drive() const { return m_root.path() + QStringLiteral("/c"); }
    QString Config() const { return m_root.path() + QStringLiteral("/config"); }
    QString SettingsFile() const { return Config() + QStringLiteral("/Stowix/Stowix.ini"); }
    QString Runtime() const { return m_root.path() + QStringLiteral("/runtime"); }
    QString Home() const { return m_root.path() + QStringLiteral("/home"); }
    QString BackupRoot() const { return Drive() + QStringLiteral("/Stowix"); }
    // What the programs are given as drive C: (STOWIX_DRIVE_C): the folder Drive(), unless a
    // test gives a disk image instead.
    QString DriveC() const { return m_driveC.isEmpty() ? Drive() : m_driveC; }
    void UseDriveC(const QString& hostPath) { m_driveC = hostPath; }

    // bin/<program> of the build (support/test_paths.h); a path with a slash is taken as it is.
    static QString ProgramPath(const QString& program);

    // The programs' environment in this world.
    QProcessEnvironment Environment() const;
    // A variable every program of this world is given from now on (STOWIX_MIN_FREE_MB).
    void SetEnvironment(const QString& name, const QString& value) { m_environment[name] = value; }
    // Runs a program to its end, in the world's root folder.
    RunResult Run(const QString& program, const ProcessOptions& options = {});
    // Starts a program and returns at once; the caller ends it.
    std::unique_ptr<QProcess> Start(const QString& program, const ProcessOptions& options = {});

    // What stowix-dir lists for a DOS folder: the names only.
    QStringList ListedNames(const QString& dosFolder);

    // The backup sets' folder names, sorted.
    QStringList SetNames() const;
    // The one set that is not in before, or empty when there is none or more than one.
    QString NewSet(const QStringList& before) const;

    // The settings file's value, read as the program reads it; empty when absent.
    QString Setting(const QString& section, const QString& key) const;
    void WriteSetting(const QString& section, const QString& key, const QString& value);

private:
    QTemporaryDir m_root;
    QString m_driveC;
    QMap<QString, QString> m_environment;
};

}  // namespace stowix::test
