// The comparison of a set with the drive, of two sets, and the preview of a restore, on a
// temporary drive through the real file system.

#include "compare/comparison_text.h"
#include "compare/file_comparison.h"
#include "compare/set_argument.h"
#include "support/attribute_letters.h"
#include "support/qt_printers.h"
#include "support/temp_drive.h"

#include <gtest/gtest.h>

#include <QStringList>

#include <functional>

namespace stowix::test {
namespace {

constexpr int RHS = R | H | S;

const QDateTime Made(QDate(1999, 11, 5), QTime(15, 45, 12), Qt::UTC);
const QString Set = "C:\\Stowix\\set";

// "change place [aspects]" for each file, in the comparison's order.
QStringList Summary(const Comparison& comparison) {
    QStringList lines;
    for (const FileComparison& file : comparison.files) {
        QString line = QString(file.change == FileChange::Gone      ? "gone"
                               : file.change == FileChange::New     ? "new"
                               : file.change == FileChange::Changed ? "changed"
                                                                    : "same") +
                       " " + file.place;
        if (file.change == FileChange::Changed) {
            QStringList aspects;
            if (file.differs & Aspect::Size) aspects << "size";
            if (file.differs & Aspect::LastWrite) aspects << "time";
            if (file.differs & Aspect::Attributes) aspects << "attributes";
            if (file.differs & Aspect::Contents) aspects << "contents";
            line += " [" + aspects.join(',') + "]";
        }
        for (const IniChange& change : file.ini) line += " | " + IniChangeText(change);
        if (!file.trouble.isEmpty()) line += " ! " + file.trouble;
        lines << line;
    }
    return lines;
}

// A drive and the set a backup made of it: the same bytes, times and attributes.
struct DriveWithSet {
    DriveWithSet() {
        const struct {
            QString drivePath;
            QByteArray contents;
            int attributes;
        } files[] = {
            {"C:\\AUTOEXEC.BAT", "@echo off\r\n", A},
            {"C:\\CONFIG.SYS", "DEVICE=HIMEM.SYS\r\n", A},
            {"C:\\IO.SYS", "MZ io", RHS},
            {"C:\\WINDOWS\\COMMAND.COM", "MZ command", A},
            {"C:\\WINDOWS\\WIN.INI", "[Desktop]\r\nWallpaper=(None)\r\n", A},
            {"C:\\WINDOWS\\SYSTEM.INI", "[386Enh]\r\ndevice=*vcd\r\n", A},
            {"C:\\WINDOWS\\SYSTEM.DAT", "CREG registry", RHS | A},
        };
        for (const auto& file : files) {
            drive.AddFile(file.drivePath, file.contents, file.attributes, Made);
            drive.AddFile(Set + "\\" + file.drivePath.section('\\', -1), file.contents,
                          file.attributes, Made);
        }
        // Files the backup groups do not take, or take from elsewhere: the Windows folder's
        // COMMAND.COM is the one a set holds.
        drive.AddFile("C:\\COMMAND.COM", "MZ root", A, Made);
        drive.AddFile("C:\\WINDOWS\\NOTEPAD.EXE", "MZ notepad", A, Made);
        drive.AddFile("C:\\WINDOWS\\SYSTEM\\SYSTEM.INI", "[boot]\r\n", A, Made);
    }

    Comparison WithDrive(const CompareOptions& options = {}) {
        return CompareSetWithDrive(drive.Files(), values, Set, options);
    }

    TempDrive drive;
    ProgramValues values{"C:\\WINDOWS", "\\WINDOWS"};
};

class FileComparisonTest : public ::testing::Test, public DriveWithSet {};

TEST_F(FileComparisonTest, a_set_and_the_drive_it_was_made_of_are_the_same) {
    const Comparison comparison = WithDrive();
    EXPECT_FALSE(comparison.Differs());
    EXPECT_FALSE(comparison.HasTrouble());
    EXPECT_TRUE(comparison.files.empty()) << Summary(comparison).join('\n').toStdString();
    EXPECT_EQ(ComparisonText(comparison), "");

    CompareOptions all;
    all.keepSame = true;
    EXPECT_EQ(Summary(WithDrive(all)),
              (QStringList{"same C:\\AUTOEXEC.BAT", "same C:\\CONFIG.SYS", "same C:\\IO.SYS",
                           "same C:\\WINDOWS\\COMMAND.COM", "same C:\\WINDOWS\\SYSTEM.DAT",
                           "same C:\\WINDOWS\\SYSTEM.INI", "same C:\\WINDOWS\\WIN.INI"}));
}

TEST_F(FileComparisonTest, each_kind_of_change_on_the_drive_is_found) {
    const QDateTime later = Made.addSecs(3600);
    const struct {
        const char* what;
        std::function<void(TempDrive&)> change;
        QStringList expected;
    } cases[] = {
        {"a file deleted",
         [](TempDrive& d) { ASSERT_TRUE(d.Files().DeleteFile("C:\\CONFIG.SYS").ok()); },
         {"gone C:\\CONFIG.SYS"}},
        {"a file added",
         [](TempDrive& d) { d.AddFile("C:\\WINDOWS\\NEW.INI", "[x]\r\n", A, Made); },
         {"new C:\\WINDOWS\\NEW.INI"}},
        {"a file that no backup takes",
         [](TempDrive& d) { d.AddFile("C:\\WINDOWS\\README.TXT", "x", A, Made); },
         {}},
        {"a file of the root that the Windows folder's one hides",
         [](TempDrive& d) { d.AddFile("C:\\COMMAND.COM", "MZ other", A, Made); },
         {}},
        {"only written again",
         [&](TempDrive& d) { d.AddFile("C:\\AUTOEXEC.BAT", "@echo off\r\n", A, later); },
         {"changed C:\\AUTOEXEC.BAT [time]"}},
        {"only the attributes",
         [](TempDrive& d) {
             ASSERT_TRUE(d.Files().WriteAttributes("C:\\WINDOWS\\SYSTEM.DAT", A).ok());
         },
         {"changed C:\\WINDOWS\\SYSTEM.DAT [attributes]"}},
        {"the same size, other bytes",
         [&](TempDrive& d) { d.AddFile("C:\\IO.SYS", "MZ IO", RHS, later); },
         {"changed C:\\IO.SYS [time,contents]"}},
        {"INI keys",
         [&](TempDrive& d) {
             d.AddFile("C:\\WINDOWS\\SYSTEM.INI",
                       "[386Enh]\r\ndevice=*vcd\r\ndevice=C:\\WINDOWS\\SYSTEM\\NEW.VXD\r\n", A,
                       later);
         },
         {"changed C:\\WINDOWS\\SYSTEM.INI [size,time] | [386Enh] device: + "
          "C:\\WINDOWS\\SYSTEM\\NEW.VXD"}},
        {"an INI file rewritten with the same keys",
         [&](TempDrive& d) {
             d.AddFile("C:\\WINDOWS\\WIN.INI", "[desktop]\nwallpaper = (None)\n", A, later);
         },
         {"changed C:\\WINDOWS\\WIN.INI [time,contents]"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        DriveWithSet world;  // a drive of its own for each case
        c.change(world.drive);
        EXPECT_EQ(Summary(world.WithDrive()), c.expected);
    }
}

TEST_F(FileComparisonTest, registry_files_are_read_only_when_their_contents_differ) {
    QStringList read;
    CompareOptions options;
    options.readRegistry = [&read](FileSystem& files, const QString& path) -> Result<RegistryKeys> {
        read << path;
        Result<QByteArray> bytes = files.ReadFile(path, 1024);
        if (!bytes) return bytes.status();
        return RegistryKeys{{"HKEY_LOCAL_MACHINE\\" + QString::fromLatin1(bytes.value()), {}}};
    };

    ASSERT_TRUE(drive.Files().WriteAttributes("C:\\WINDOWS\\SYSTEM.DAT", A).ok());
    EXPECT_EQ(Summary(WithDrive(options)),
              QStringList{"changed C:\\WINDOWS\\SYSTEM.DAT [attributes]"});
    EXPECT_TRUE(read.isEmpty()) << read.join(", ").toStdString();

    drive.AddFile("C:\\WINDOWS\\SYSTEM.DAT", "CREG changed!", RHS | A, Made.addSecs(2));
    const Comparison comparison = WithDrive(options);
    EXPECT_EQ(read, (QStringList{Set + "\\SYSTEM.DAT", "C:\\WINDOWS\\SYSTEM.DAT"}));
    ASSERT_EQ(comparison.files.size(), 1u);
    ASSERT_TRUE(comparison.files[0].registry.has_value());
    EXPECT_EQ(comparison.files[0].registry->keysAdded,
              std::vector<QString>{"HKEY_LOCAL_MACHINE\\CREG changed!"});
    EXPECT_EQ(comparison.files[0].registry->keysRemoved.size(), 1u);
}

TEST_F(FileComparisonTest, two_sets_are_compared_name_by_name) {
    const QString other = "C:\\Stowix\\other";
    drive.AddFolder(other);
    for (const QString& name : drive.HostNames(Set)) {
        ASSERT_TRUE(drive.Files().CopyFile(Set + "\\" + name, other + "\\" + name).ok());
        ASSERT_TRUE(drive.Files()
                        .WriteAttributes(other + "\\" + name, drive.Attributes(Set + "\\" + name))
                        .ok());
    }
    EXPECT_TRUE(CompareSets(drive.Files(), values, Set, other, {}).files.empty());

    drive.AddFile(other + "\\WIN.INI", "[Desktop]\r\nWallpaper=Clouds.bmp\r\n", A, Made);
    ASSERT_TRUE(drive.Files().DeleteFile(other + "\\CONFIG.SYS").ok());
    drive.AddFile(other + "\\USER.DAT", "CREG user", RHS | A, Made);
    const Comparison comparison = CompareSets(drive.Files(), values, Set, other, {});
    EXPECT_EQ(Summary(comparison),
              (QStringList{"gone C:\\CONFIG.SYS", "new C:\\WINDOWS\\USER.DAT",
                           "changed C:\\WINDOWS\\WIN.INI [size] | [Desktop] Wallpaper: (None) -> "
                           "Clouds.bmp"}));
    EXPECT_EQ(comparison.olderName, Set);
    EXPECT_EQ(comparison.newerName, other);
}

TEST_F(FileComparisonTest, a_restore_preview_lists_what_the_restore_would_write) {
    ASSERT_TRUE(drive.Files().DeleteFile("C:\\CONFIG.SYS").ok());
    drive.AddFile("C:\\WINDOWS\\WIN.INI", "[Desktop]\r\nWallpaper=Clouds.bmp\r\nTile=1\r\n", A,
                  Made.addSecs(60));
    drive.AddFile("C:\\WINDOWS\\NEW.INI", "[x]\r\n", A, Made);  // a restore leaves it alone

    const Comparison preview = PreviewRestore(drive.Files(), values, Set, {});

    // The set's AUTOEXEC.BAT and COMMAND.COM go to the root and to the Windows folder.
    EXPECT_EQ(Summary(preview),
              (QStringList{"changed C:\\COMMAND.COM [size]", "new C:\\CONFIG.SYS",
                           "new C:\\WINDOWS\\AUTOEXEC.BAT",
                           "changed C:\\WINDOWS\\WIN.INI [size,time] | [Desktop] Wallpaper: "
                           "Clouds.bmp -> (None) | [Desktop] Tile: - 1"}));
    EXPECT_EQ(RestorePreviewText(preview).split('\r').mid(0, 3),
              (QStringList{"The restore would change these files on the drive:",
                           "C:\\COMMAND.COM: replaced (size 7 -> 10)", "C:\\CONFIG.SYS: added"}));
}

TEST(SetArgument, a_set_is_named_by_its_path_or_its_folder_name) {
    TempDrive drive;
    drive.AddFolder("C:\\Stowix\\11-5-99 3;45;12 PM");
    drive.AddFile("C:\\Stowix\\SYSTEM.DAT", "staged");
    const struct {
        QString argument;
        QString expected;  // empty: refused
    } cases[] = {
        {"11-5-99 3;45;12 PM", "C:\\Stowix\\11-5-99 3;45;12 PM"},
        {"C:\\Stowix\\11-5-99 3;45;12 PM", "C:\\Stowix\\11-5-99 3;45;12 PM"},
        {"c:\\stowix\\11-5-99 3;45;12 pm\\", "c:\\stowix\\11-5-99 3;45;12 pm"},
        {"12-5-99 3;45;12 PM", ""},
        {"C:\\Stowix", ""},
        {"C:\\Stowix\\", ""},
        {"C:\\", ""},
        {"SYSTEM.DAT", ""},
        {"", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.argument.toStdString());
        const Result<QString> path = ResolveSetPath(drive.Files(), c.argument);
        EXPECT_EQ(path.ok() ? path.value() : QString(), c.expected) << path.reason().toStdString();
    }
}

}  // namespace
}  // namespace stowix::test
