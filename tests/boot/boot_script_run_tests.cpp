// The program's own boot script, written as a restore writes it, run by the batch interpreter
// against a temporary drive, as the next start of Windows would run it.

#include "boot/batch_file.h"
#include "boot/batch_interpreter.h"
#include "restore/boot_script.h"
#include "support/faulty_file_system.h"
#include "support/qt_printers.h"
#include "support/temp_drive.h"

#include <gtest/gtest.h>

namespace stowix::test {
namespace {

constexpr int Registry =
    Attribute::Archive | Attribute::Hidden | Attribute::ReadOnly | Attribute::System;

class BootScriptRunTest : public ::testing::TestWithParam<QString> {
protected:
    BootScriptRunTest() : windowsFolder("C:\\" + GetParam()) {
        drive.AddFolder(windowsFolder);
        drive.AddFolder("C:\\Stowix\\11-5-99 3;45;12 PM");
        drive.AddFile(windowsFolder + "\\SYSTEM.DAT", "live system", Registry);
        drive.AddFile(windowsFolder + "\\USER.DAT", "live user", Registry);
        drive.AddFile(windowsFolder + "\\WIN.INI", "win.ini", Attribute::ReadOnly);
        // Staged as a restore stages them: with the attributes the files had when backed up.
        drive.AddFile("C:\\Stowix\\SYSTEM.DAT", "restored system", Registry);
        drive.AddFile("C:\\Stowix\\USER.DAT", "restored user", Registry);
        drive.AddFile("C:\\Stowix\\SYSTEM.DA0", "restored system backup", Attribute::Archive);
        EXPECT_TRUE(WriteBootScript(drive.Files(), windowsFolder).ok());
    }

    BatchReport RunScript() {
        const QByteArray script = drive.HostBytes(windowsFolder + "\\WinStart.Bat");
        BatchInterpreter interpreter(files, [this](const QString& line) { console.append(line); });
        return interpreter.Run(BatchLinesFromAnsi(script));
    }

    TempDrive drive;
    FaultyFileSystem files{drive.Files()};
    QString windowsFolder;
    QStringList console;
};

TEST_P(BootScriptRunTest, staged_files_replace_the_registry_and_get_its_attributes) {
    const BatchReport report = RunScript();

    EXPECT_TRUE(report.ok()) << report.errors.join('\n').toStdString();
    const struct {
        QString name;
        QByteArray contents;
    } expected[] = {
        {"SYSTEM.DAT", "restored system"},
        {"USER.DAT", "restored user"},
        {"SYSTEM.DA0", "restored system backup"},
    };
    for (const auto& e : expected) {
        SCOPED_TRACE(e.name.toStdString());
        EXPECT_EQ(drive.HostBytes(windowsFolder + "\\" + e.name), e.contents);
        EXPECT_EQ(drive.Attributes(windowsFolder + "\\" + e.name), Registry);
    }
    EXPECT_EQ(drive.HostNames("C:\\Stowix"), QStringList({"11-5-99 3;45;12 PM"}))
        << "nothing is left staged";
    EXPECT_EQ(drive.Attributes(windowsFolder + "\\WIN.INI"), Attribute::ReadOnly);
    EXPECT_TRUE(console.isEmpty())
        << "the script silences its console: " << console.join('\n').toStdString();
}

TEST_P(BootScriptRunTest, a_second_start_does_nothing) {
    ASSERT_TRUE(RunScript().ok());
    const QStringList before = drive.HostNames(windowsFolder);
    const int firstRunCalls = files.Calls().size();

    const BatchReport report = RunScript();

    EXPECT_TRUE(report.ok()) << report.errors.join('\n').toStdString();
    const QStringList secondRun = files.Calls().mid(firstRunCalls);
    EXPECT_EQ(secondRun, QStringList({"ListFolder C:\\Stowix\\*.Da?/7"}))
        << "only the test of line 3 runs";
    EXPECT_EQ(drive.HostNames(windowsFolder), before);
    EXPECT_EQ(drive.HostBytes(windowsFolder + "\\SYSTEM.DAT"), "restored system");
    EXPECT_TRUE(console.isEmpty());
}

TEST_P(BootScriptRunTest, the_copies_are_made_durable_before_a_staged_file_is_deleted) {
    ASSERT_TRUE(RunScript().ok());
    const QStringList& calls = files.Calls();
    const auto lastOf = [&](const QString& prefix) {
        int found = -1;
        for (int i = 0; i < calls.size(); ++i)
            if (calls.at(i).startsWith(prefix)) found = i;
        return found;
    };
    const auto firstOf = [&](const QString& prefix) {
        for (int i = 0; i < calls.size(); ++i)
            if (calls.at(i).startsWith(prefix)) return i;
        return -1;
    };
    const int flush = firstOf("FlushToDisk C:");
    const int firstDelete = firstOf("DeleteFile C:\\Stowix\\");
    ASSERT_GE(flush, 0) << files.Describe().toStdString();
    ASSERT_GE(firstDelete, 0) << files.Describe().toStdString();
    EXPECT_LT(lastOf("CopyFile"), flush) << files.Describe().toStdString();
    EXPECT_LT(lastOf("WriteAttributes " + windowsFolder), flush) << files.Describe().toStdString();
    EXPECT_LT(flush, firstDelete) << files.Describe().toStdString();
}

TEST_P(BootScriptRunTest, a_disk_that_cannot_flush_keeps_the_staged_files) {
    files.FailFlushToDisk("Input/output error");

    const BatchReport report = RunScript();

    ASSERT_EQ(report.errors.size(), 1) << report.errors.join('\n').toStdString();
    EXPECT_TRUE(report.errors[0].contains("Input/output error")) << report.errors[0].toStdString();
    EXPECT_TRUE(files.CallsStartingWith("DeleteFile").isEmpty()) << files.Describe().toStdString();
    EXPECT_EQ(drive.HostNames("C:\\Stowix"),
              QStringList({"11-5-99 3;45;12 PM", "SYSTEM.DA0", "SYSTEM.DAT", "USER.DAT"}));
}

INSTANTIATE_TEST_SUITE_P(WindowsFolders, BootScriptRunTest,
                         ::testing::Values(QString("WINDOWS"), QString("windows")),
                         [](const ::testing::TestParamInfo<QString>& info) {
                             return info.param.toStdString();
                         });

}  // namespace
}  // namespace stowix::test
