#pragma once
// A main window over faked controls, dialogs, system and settings, and a temporary drive C:
// with the real file system under a fault injector and a recorder, for backup runs.

#include "backup/backup_run.h"
#include "shell/main_window.h"
#include "shell/run_mode.h"
#include "support/fake_window_services.h"
#include "support/faulty_file_system.h"
#include "support/recording_file_system.h"
#include "support/temp_drive.h"

#include "registry_file_writer.h"
#include "windows98_registry.h"

#include <gtest/gtest.h>

namespace stowix::test {

class BackupFixture : public ::testing::Test, protected FakeWindowServices {
protected:
    BackupFixture() {
        settings.log = &log;
        values.WindowsFolder = "C:\\WINDOWS";
        values.WindowsFolderTail = "\\WINDOWS";
    }

    // A small Windows 98 drive: start-up files in the root, the registry and configuration
    // files in the Windows folder, and files and folders that no group takes.
    void AddWindows98Files() {
        drive.AddFile("C:\\AUTOEXEC.BAT", "@ECHO OFF\r\n", Attribute::Archive, Time(1));
        drive.AddFile("C:\\COMMAND.COM", "root command", Attribute::Archive, Time(2));
        drive.AddFile("C:\\CONFIG.SYS", "DEVICE=HIMEM.SYS\r\n", Attribute::Archive, Time(3));
        drive.AddFile("C:\\IO.SYS", "io",
                      Attribute::ReadOnly | Attribute::Hidden | Attribute::System, Time(4));
        drive.AddFile("C:\\MSDOS.SYS", "[Paths]\r\n", 39, Time(5));
        drive.AddFile("C:\\README.TXT", "not backed up");
        // Sound registry files: the run reads them whole after copying.
        drive.AddFile("C:\\WINDOWS\\SYSTEM.DAT", SystemRegistry(), 39, Time(6));
        drive.AddFile("C:\\WINDOWS\\SYSTEM.DA0", "system registry, previous", 39, Time(7));
        drive.AddFile("C:\\WINDOWS\\USER.DAT",
                      tools::WriteRegistryFile(tools::Windows98UserTree()).bytes, 39, Time(8));
        drive.AddFile("C:\\WINDOWS\\COMMAND.COM", "windows command", Attribute::Archive, Time(9));
        drive.AddFile("C:\\WINDOWS\\WIN.INI", "[windows]\r\n", Attribute::Archive, Time(10));
        drive.AddFile("C:\\WINDOWS\\SYSTEM.INI", "[boot]\r\n", Attribute::Archive, Time(11));
        drive.AddFile("C:\\WINDOWS\\ShellIconCache", "icons",
                      Attribute::Hidden | Attribute::Archive, Time(12));
        drive.AddFile("C:\\WINDOWS\\NOTEPAD.EXE", "not backed up");
        drive.AddFolder("C:\\WINDOWS\\SYSTEM.INI.D");  // a folder that matches "*.Ini"
    }

    static QByteArray UserRegistry() {
        return tools::WriteRegistryFile(tools::Windows98UserTree()).bytes;
    }

    static QByteArray SystemRegistry() {
        return tools::WriteRegistryFile(tools::Windows98SystemTree()).bytes;
    }

    static QDateTime Time(int minute) {
        return QDateTime(QDate(1999, 10, 1), QTime(12, minute, 0), Qt::UTC);
    }

    void Run() { BackupRun(window, window.services(), window.values()).Run(); }

    QString StoredLastBackup() const {
        return settings.values.value(FakeSettingsStore::Key("Stowix", "Info", "LastBackup"),
                                     "<absent>");
    }

    const QString setPath = "C:\\Stowix\\11-5-99 3;45;12 PM";
    TempDrive drive;
    FaultyFileSystem faulty{drive.Files()};
    RecordingFileSystem files{log, &faulty};
    MainWindow window{form, Over(files), values};
};

const QStringList EndSequence = {"Animation1.Close", "MMControl1.Command=Close"};

}  // namespace stowix::test
