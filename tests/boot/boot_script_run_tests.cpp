// The program's own boot script, written as a restore writes it, run by the batch interpreter
// against a temporary drive, as the next start of Windows would run it.

#include "platform/dos/batch_file.h"
#include "platform/dos/batch_interpreter.h"
#include "restore/boot_script.h"
#include "support/faulty_file_system.h"
#include "support/qt_printers.h"
#include "support/temp_drive.h"

#include <gtest/gtest.h>

namespace stowix::test {
namespace {

constexpr int Registry = Attribute::Archive | Attribute::Hidden | Attribute::ReadOnly |
                         Attribute::System;

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
    EXPECT_TRUE(console.isEmpty()) << "the script silences its console: "
                                   << console.join('\n').toStdString();
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

INSTANTIATE_TEST_SUITE_P(WindowsFolders, BootScriptRunTest,
                         ::testing::Values(QString("WINDOWS"), QString("windows")),
                         [](const ::testing::TestParamInfo<QString>& info) {
                             return info.param.toStdString();
                         });

}  // namespace
}  // namespace stowix::test
