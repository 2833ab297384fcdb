#pragma once
// This type gives a whole-program test the program world (support/program_world.h) with a
// Windows 98 drive C: that the built drive generator writes into it. It runs the programs there
// and reads what they leave behind: the settings file, and files with their bytes, DOS
// attributes and last-write times as the program's own file system sees them. It does not deal
// with the programs' windows.

#include "fs/file_system.h"
#include "support/program_world.h"

#include <gtest/gtest.h>

#include <QByteArray>
#include <QDateTime>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

#include <functional>
#include <map>
#include <memory>

namespace stowix::test {

using Outcome = RunResult;

// A file as the program sees it.
struct FileState {
    QByteArray bytes;
    int attributes = -1;  // -1 when the read failed
    QDateTime modified;   // UTC
};

// Files keyed by their path relative to the drive root ("WINDOWS\WIN.INI") or by their name
// within one folder ("WIN.INI").
using FileStates = std::map<QString, FileState>;

QStringList Names(const FileStates& states);

// One line per file that is missing, extra, or differs from what was expected, saying how;
// empty when both agree.
QStringList Differences(const FileStates& expected, const FileStates& actual);

// Drops the two capabilities with which root reads any file whatever its mode, for the program
// about to be started; run in the child between fork and exec. A user other than root has
// neither, and the call changes nothing for it.
void DropFileAccessOverride();

class ProgramTest : public ::testing::Test {
protected:
    ProgramTest();
    // Generates the drive.
    void SetUp() override;

    // Runs bin/<program> of the build to its end. The modifier, when given, runs in the child
    // just before the program starts.
    Outcome Run(const QString& program, const QStringList& arguments = {},
                const std::function<void()>& childModifier = {});
    // Starts bin/<program> and returns at once; the caller ends it.
    std::unique_ptr<QProcess> Start(const QString& program, const QStringList& arguments = {});
    static QString ProgramPath(const QString& program) {
        return ProgramWorld::ProgramPath(program);
    }

    // The settings file's value, empty when it is absent.
    QString Setting(const QString& section, const QString& key) const {
        return world.Setting(section, key);
    }
    QString SettingsFile() const { return world.SettingsFile(); }
    // The host folder of the runtime files (the single-instance lock lies there).
    QString RuntimeFolder() const { return world.Runtime(); }

    // Host path of a path relative to the drive root, backslashes as separators.
    QString HostPath(const QString& relative) const;
    FileState StateOf(const QString& relative);
    // The files directly in a folder of the drive, keyed by name; empty when it does not exist.
    FileStates FilesIn(const QString& relativeFolder);
    // The names of the folders directly in a folder of the drive.
    QStringList FoldersIn(const QString& relativeFolder) const;
    // Every file of the drive, at any depth, keyed by relative path.
    FileStates WholeDrive();
    // The files that the backup's fifteen groups take from the drive, keyed by relative path,
    // found by this test's own reading of the groups: the root's start-up files and the Windows
    // folder's configuration and registry files, patterns matched by the program's wildcard
    // rules (tested on their own in tests/dos).
    QStringList GroupSources() const;

    ProgramWorld world;
    QString driveRoot;  // host folder of drive C:
    // The environment the programs run in: the world's, as a test changes it.
    QProcessEnvironment environment;
    // The program's own file system over the drive, C: current, for attributes and restores.
    std::unique_ptr<FileSystem> files;
};

}  // namespace stowix::test
