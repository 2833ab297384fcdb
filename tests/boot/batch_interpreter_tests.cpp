// The batch interpreter's DOS rules, one command at a time, against a temporary drive.

#include "boot/batch_file.h"
#include "boot/batch_interpreter.h"
#include "support/qt_printers.h"
#include "support/temp_drive.h"

#include <gtest/gtest.h>

namespace stowix::test {
namespace {

class BatchTest : public ::testing::Test {
protected:
    BatchReport Run(const QStringList& lines) {
        console.clear();
        BatchInterpreter interpreter(drive.Files(),
                                     [this](const QString& line) { console.append(line); });
        return interpreter.Run(lines);
    }

    TempDrive drive;
    QStringList console;
};

TEST_F(BatchTest, echo_shows_commands_and_text_as_dos_does) {
    const struct {
        QStringList lines;
        QStringList shown;
    } cases[] = {
        {{"Echo hi"}, {"C:\\>Echo hi", "hi"}},
        {{"@Echo hi"}, {"hi"}},
        {{"@Echo"}, {"ECHO is on"}},
        {{"@Echo Off", "Echo"}, {"ECHO is off"}},
        {{"@Echo.", "@echo.text"}, {"", "text"}},
        {{"@Echo Off", "Echo a  b ", "@Echo On", "Rem note"}, {"a  b ", "C:\\>Rem note"}},
        {{"@Echo Off", ":label", "", "Echo after"}, {"after"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.lines.join(" | ").toStdString());
        EXPECT_TRUE(Run(c.lines).ok());
        EXPECT_EQ(console, c.shown);
    }
}

TEST_F(BatchTest, ctty_nul_silences_the_console_until_ctty_con) {
    const BatchReport report = Run(
        {"@Echo Off", "Echo one", "CTTY Nul", "Echo two", "Frobnicate", "CTTY Con", "Echo three"});
    EXPECT_EQ(console, QStringList({"one", "three"}));
    EXPECT_EQ(report.errors, QStringList({"Bad command or file name - Frobnicate"}))
        << "a failure is still reported to the caller";
}

TEST_F(BatchTest, an_unknown_command_is_reported_and_skipped) {
    const BatchReport report = Run({"@Echo Off", "Frobnicate x y", "Echo after",
                                    "C:\\WINDOWS\\Command\\Xcopy a b", "Echo end"});
    EXPECT_EQ(console, QStringList({"Bad command or file name", "after", "Bad command or file name",
                                    "end"}));
    EXPECT_EQ(report.errors.size(), 2);
}

TEST_F(BatchTest, if_exist_and_goto_choose_the_branch) {
    drive.AddFile("C:\\DATA\\HIDDEN.TXT", "h", Attribute::Hidden | Attribute::System);
    drive.AddFolder("C:\\DATA\\FOLDER.DIR");
    const struct {
        QString test;
        QString shown;
    } cases[] = {
        {"If Exist C:\\DATA\\*.TXT GoTo Found", "found"},
        {"if exist c:\\data\\hidden.txt goto found", "found"},
        {"If Exist C:\\DATA\\*.BAK GoTo Found", "missing"},
        {"If Not Exist C:\\DATA\\*.BAK GoTo Found", "found"},
        {"If Not Exist C:\\DATA\\*.TXT GoTo Found", "missing"},
        {"If Exist C:\\DATA\\FOLDER.DIR GoTo Found", "missing"},
        {"If Exist C:\\NOWHERE\\*.* GoTo Found", "missing"},
        {"If Exist C:\\DATA\\*.TXT GoTo :FOUND", "found"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.test.toStdString());
        const BatchReport report =
            Run({"@Echo Off", c.test, "Echo missing", "GoTo End", ":found", "Echo found", ":END"});
        EXPECT_TRUE(report.ok()) << report.errors.join('\n').toStdString();
        EXPECT_EQ(console, QStringList({c.shown}));
    }
}

TEST_F(BatchTest, if_exist_runs_any_command) {
    drive.AddFile("C:\\A.TXT", "a");
    Run({"@Echo Off", "If Exist C:\\A.TXT Echo yes", "If Not Exist C:\\A.TXT Echo no"});
    EXPECT_EQ(console, QStringList({"yes"}));
}

TEST_F(BatchTest, a_missing_label_ends_the_batch_file) {
    const BatchReport report = Run({"@Echo Off", "GoTo Nowhere", "Echo never"});
    EXPECT_EQ(console, QStringList({"Label not found"}));
    EXPECT_EQ(report.errors, QStringList({"Label not found"}));
}

TEST_F(BatchTest, a_batch_file_that_never_ends_is_stopped) {
    const BatchReport report = Run({"@Echo Off", ":again", "GoTo again"});
    ASSERT_EQ(report.errors.size(), 1);
    EXPECT_TRUE(report.errors[0].startsWith("Batch file stopped"))
        << report.errors[0].toStdString();
}

TEST_F(BatchTest, attrib_is_found_by_name_or_by_a_path_to_it) {
    const QString commands[] = {
        "Attrib +r C:\\A.TXT",
        "ATTRIB.EXE +r C:\\A.TXT",
        "attrib.exe +R C:\\A.TXT",
        "C:\\WINDOWS\\Command\\Attrib +r C:\\A.TXT",
        "C:\\windows\\command\\ATTRIB.EXE +r C:\\A.TXT",
    };
    for (const QString& command : commands) {
        SCOPED_TRACE(command.toStdString());
        drive.AddFile("C:\\A.TXT", "a");
        const BatchReport report = Run({"@Echo Off", command});
        EXPECT_TRUE(report.ok()) << report.errors.join('\n').toStdString();
        EXPECT_EQ(drive.Attributes("C:\\A.TXT") & Attribute::ReadOnly, Attribute::ReadOnly);
        ASSERT_TRUE(drive.Files().WriteAttributes("C:\\A.TXT", 0).ok());
    }
}

// Windows runs its boot script in real-mode DOS, where only short 8.3 names exist: a command
// that names a file or folder otherwise fails there, and here, and changes nothing.
TEST_F(BatchTest, names_real_mode_dos_cannot_use_fail_the_command) {
    drive.AddFile("C:\\WINDOWS98\\A.TXT", "a");
    drive.AddFile(QString::fromUtf8("C:\\Fenêtres\\A.TXT"), "a");
    const QString commands[] = {
        "\"C:\\My Windows\\Command\\Attrib\" +r C:\\WINDOWS98\\A.TXT",
        "Attrib +r C:\\WINDOWS98\\A.TXT",
        QString::fromUtf8("Attrib +r C:\\Fenêtres\\A.TXT"),
        "Copy C:\\WINDOWS98\\A.TXT C:\\B.TXT",
        "Del C:\\WINDOWS98\\*.TXT",
        "If Exist C:\\WINDOWS98\\A.TXT Echo found",
    };
    for (const QString& command : commands) {
        SCOPED_TRACE(command.toStdString());
        const BatchReport report = Run({"@Echo Off", command});
        ASSERT_EQ(report.errors.size(), 1);
        EXPECT_TRUE(report.errors[0].startsWith("Path not found - "))
            << report.errors[0].toStdString();
        EXPECT_EQ(drive.Attributes("C:\\WINDOWS98\\A.TXT"), 0);
        EXPECT_TRUE(drive.HostExists("C:\\WINDOWS98\\A.TXT"));
        EXPECT_FALSE(drive.HostExists("C:\\B.TXT"));
    }
}

TEST_F(BatchTest, attrib_changes_every_matching_file_and_shows_the_result) {
    drive.AddFile("C:\\R\\SYSTEM.DAT", "s",
                  Attribute::Archive | Attribute::Hidden | Attribute::ReadOnly | Attribute::System);
    drive.AddFile("C:\\R\\USER.DA0", "u", Attribute::Hidden);
    drive.AddFile("C:\\R\\WIN.INI", "w");

    const BatchReport report =
        Run({"@Echo Off", "Attrib C:\\R\\*.Da? -a -h -r -s", "Attrib +a +h C:\\R\\WIN.INI"});

    EXPECT_TRUE(report.ok()) << report.errors.join('\n').toStdString();
    EXPECT_EQ(drive.Attributes("C:\\R\\SYSTEM.DAT"), 0) << console.join('\n').toStdString();
    EXPECT_EQ(drive.Attributes("C:\\R\\USER.DA0"), 0);
    EXPECT_EQ(drive.Attributes("C:\\R\\WIN.INI"), Attribute::Archive | Attribute::Hidden);
    EXPECT_TRUE(console.contains("A   H      C:\\R\\WIN.INI")) << console.join('\n').toStdString();
}

TEST_F(BatchTest, attrib_without_a_match_or_with_a_bad_switch_is_reported) {
    EXPECT_EQ(Run({"@Echo Off", "Attrib +h C:\\NONE.*"}).errors,
              QStringList({"File not found - C:\\NONE.*"}));
    drive.AddFile("C:\\A.TXT", "a");
    EXPECT_EQ(Run({"@Echo Off", "Attrib +x C:\\A.TXT"}).errors,
              QStringList({"Invalid switch - +x"}));
    EXPECT_EQ(drive.Attributes("C:\\A.TXT") & ~Attribute::Archive, 0);
}

TEST_F(BatchTest, copy_does_not_see_hidden_or_system_files_and_marks_copies_archive) {
    drive.AddFolder("C:\\TO");
    drive.AddFile("C:\\FROM\\PLAIN.DAT", "plain");
    drive.AddFile("C:\\FROM\\RO.DAT", "ro", Attribute::ReadOnly);
    drive.AddFile("C:\\FROM\\HIDDEN.DAT", "h", Attribute::Hidden);
    drive.AddFile("C:\\FROM\\SYSTEM.DAT", "s", Attribute::System);

    const BatchReport report = Run({"@Echo Off", "Copy C:\\FROM\\*.Dat C:\\to"});

    EXPECT_TRUE(report.ok()) << report.errors.join('\n').toStdString();
    EXPECT_EQ(drive.HostNames("C:\\TO"), QStringList({"PLAIN.DAT", "RO.DAT"}));
    EXPECT_EQ(drive.Attributes("C:\\TO\\PLAIN.DAT"), Attribute::Archive);
    EXPECT_EQ(drive.Attributes("C:\\TO\\RO.DAT"), Attribute::Archive);
    EXPECT_EQ(console.last(), "        2 file(s) copied");
}

TEST_F(BatchTest, copy_refuses_a_protected_target_and_copies_the_rest) {
    drive.AddFile("C:\\FROM\\A.DAT", "new a");
    drive.AddFile("C:\\FROM\\B.DAT", "new b");
    drive.AddFile("C:\\TO\\A.DAT", "old a", Attribute::Hidden);

    const BatchReport report = Run({"@Echo Off", "Copy C:\\FROM\\*.DAT C:\\TO\\"});

    EXPECT_EQ(report.errors, QStringList({"Access denied - C:\\TO\\A.DAT"}));
    EXPECT_EQ(drive.HostBytes("C:\\TO\\A.DAT"), "old a");
    EXPECT_EQ(drive.HostBytes("C:\\TO\\B.DAT"), "new b");
    EXPECT_EQ(console.last(), "        1 file(s) copied");
}

TEST_F(BatchTest, copy_onto_one_file_and_its_refusals) {
    drive.AddFile("C:\\A.TXT", "a");
    drive.AddFile("C:\\B.TXT", "b");
    EXPECT_TRUE(Run({"@Echo Off", "Copy C:\\A.TXT C:\\C.TXT"}).ok());
    EXPECT_EQ(drive.HostBytes("C:\\C.TXT"), "a");

    const struct {
        QString command;
        QString error;
    } refused[] = {
        {"Copy C:\\*.TXT C:\\D.TXT", "Cannot copy several files onto one file - C:\\D.TXT"},
        {"Copy C:\\A.TXT C:\\A.TXT", "File cannot be copied onto itself - C:\\A.TXT"},
        {"Copy C:\\NONE.TXT C:\\D.TXT", "File not found - C:\\NONE.TXT"},
        {"Copy C:\\A.TXT C:\\My Folder", "Too many parameters - Folder"},
        {"Copy", "Required parameter missing"},
    };
    for (const auto& c : refused) {
        SCOPED_TRACE(c.command.toStdString());
        EXPECT_EQ(Run({"@Echo Off", c.command}).errors, QStringList({c.error}));
        EXPECT_FALSE(drive.HostExists("C:\\D.TXT"));
    }
}

TEST_F(BatchTest, del_leaves_read_only_hidden_and_system_files) {
    drive.AddFile("C:\\S\\PLAIN.DAT", "p");
    drive.AddFile("C:\\S\\RO.DAT", "r", Attribute::ReadOnly);
    drive.AddFile("C:\\S\\HIDDEN.DAT", "h", Attribute::Hidden);
    drive.AddFile("C:\\S\\SYSTEM.DAT", "s", Attribute::System);

    const BatchReport report = Run({"@Echo Off", "Del C:\\S\\*.DA?"});

    EXPECT_EQ(report.errors, QStringList({"Access denied - C:\\S\\RO.DAT"}));
    EXPECT_EQ(drive.HostNames("C:\\S"), QStringList({"HIDDEN.DAT", "RO.DAT", "SYSTEM.DAT"}));
    EXPECT_EQ(Run({"@Echo Off", "Erase C:\\S\\NONE.*"}).errors,
              QStringList({"File not found - C:\\S\\NONE.*"}));
}

TEST_F(BatchTest, a_windows_folder_with_blanks_breaks_the_script_as_under_dos) {
    drive.AddFile("C:\\Stowix\\SYSTEM.DAT", "staged");
    drive.AddFolder("C:\\My Win");
    const BatchReport report = Run({"@Echo Off", "C:\\My Win\\Command\\Attrib C:\\Stowix\\*.Da? -a",
                                    "Copy C:\\Stowix\\*.Da? C:\\My Win"});
    EXPECT_EQ(report.errors,
              QStringList({"Bad command or file name - C:\\My", "Too many parameters - Win"}));
    EXPECT_FALSE(drive.HostExists("C:\\My Win\\SYSTEM.DAT"));
}

// A script read from its file as stowix-boot reads it, a line at a time.
class BatchFileRunTest : public BatchTest {
protected:
    BatchReport RunFile(const QByteArray& content) {
        drive.AddFile("C:\\SCRIPT.BAT", content);
        Result<std::unique_ptr<FileReader>> reader = drive.Files().OpenForReading("C:\\SCRIPT.BAT");
        EXPECT_TRUE(reader.ok()) << reader.reason().toStdString();
        if (!reader) return {};
        BatchFile source(*reader.value(), "C:\\SCRIPT.BAT");
        console.clear();
        BatchInterpreter interpreter(drive.Files(),
                                     [this](const QString& line) { console.append(line); });
        return interpreter.Run(source);
    }
};

TEST_F(BatchFileRunTest, a_long_script_without_loops_runs_whole) {
    // Fifty thousand forward jumps over a hundred thousand lines: each label is found without
    // reading the file again from its start, and no jump counts against the loop guard.
    QByteArray script = "@Echo Off\r\n";
    for (int i = 0; i < 50'000; ++i)
        script += "GoTo L" + QByteArray::number(i) + "\r\n:L" + QByteArray::number(i) + "\r\n";
    script += "Echo end\r\n";

    const BatchReport report = RunFile(script);

    EXPECT_TRUE(report.ok()) << report.errors.join('\n').toStdString();
    EXPECT_EQ(console, QStringList({"end"}));
}

TEST_F(BatchFileRunTest, an_endless_loop_in_a_file_is_stopped) {
    const BatchReport report = RunFile("@Echo Off\r\n:again\r\nRem body\r\nGoTo again\r\n");
    ASSERT_EQ(report.errors.size(), 1);
    EXPECT_TRUE(report.errors[0].startsWith("Batch file stopped"))
        << report.errors[0].toStdString();
}

TEST_F(BatchFileRunTest, a_line_too_long_to_keep_is_reported_and_not_run) {
    drive.AddFile("C:\\KEEP.TXT", "k");
    const BatchReport report =
        RunFile("@Echo Off\r\nDel C:\\KEEP.TXT " + QByteArray(2 * BatchFile::MostLineBytes, 'x') +
                "\r\nEcho after\r\n");
    ASSERT_EQ(report.errors.size(), 1);
    EXPECT_TRUE(report.errors[0].startsWith("Line too long")) << report.errors[0].toStdString();
    EXPECT_TRUE(drive.HostExists("C:\\KEEP.TXT"));
    EXPECT_EQ(console.last(), "after");
}

TEST_F(BatchTest, goto_finds_the_first_label_of_its_name) {
    const struct {
        const char* label;
        QStringList lines;
        QStringList shown;
    } cases[] = {
        {"forward, of two",
         {"@Echo Off", "GoTo a", ":a", "Echo first", "GoTo end", ":A", "Echo second", ":end"},
         {"first"}},
        {"back, to one passed over by a jump",
         {"@Echo Off", "GoTo skip", ":x", "Echo one", "GoTo end", ":skip", "GoTo x", ":x",
          "Echo two", ":end"},
         {"one"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        drive.AddFile("C:\\FLAG", "f");
        const BatchReport report = Run(c.lines);
        EXPECT_TRUE(report.ok()) << report.errors.join('\n').toStdString();
        EXPECT_EQ(console, c.shown);
    }
}

// Labels past the index's size are never searched for at every jump: a label among those
// remembered is still found, one past them stops the script and says why.
TEST_F(BatchTest, a_goto_among_more_labels_than_are_remembered_stops_the_script) {
    QStringList manyLabels;
    for (int i = 0; i < BatchInterpreter::MostLabelsRemembered + 100; ++i)
        manyLabels.append(":n" + QString::number(i));
    drive.AddFile("C:\\FLAG", "f");
    const BatchReport report =
        Run(QStringList({"@Echo Off", "GoTo go", ":again", "Del C:\\FLAG", ":go"}) + manyLabels +
            QStringList({"If Exist C:\\FLAG GoTo again", "GoTo " + manyLabels.last().mid(1),
                         "Echo not reached"}));
    ASSERT_EQ(report.errors.size(), 1);
    EXPECT_TRUE(report.errors[0].startsWith("Batch file stopped: it has more than"))
        << report.errors[0].toStdString();
    EXPECT_EQ(console.first(), "C:\\FLAG deleted");
    EXPECT_EQ(console.size(), 2);
}

TEST(BatchFileTest, lines_are_read_as_windows_1252_up_to_the_end_mark) {
    const struct {
        QByteArray content;
        QStringList lines;
    } cases[] = {
        {"a\r\nb\r\n", {"a", "b"}},
        {"a\nb", {"a", "b"}},
        {"a\r\n\r\nb", {"a", "", "b"}},
        {"a\r\n\x1A"
         "b\r\n",
         {"a"}},
        {"\x80\xE9\x81", {QString::fromUtf16(u"\u20AC\u00E9\u0081")}},
        {"", {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.content.toStdString());
        EXPECT_EQ(BatchLinesFromAnsi(c.content), c.lines);
    }
}

}  // namespace
}  // namespace stowix::test
