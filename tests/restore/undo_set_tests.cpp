// Every restore can be undone: before its first copy the drive's configuration is kept in a set
// named by the stamp of now and " before restore"; restoring that set is the undo. When that set
// cannot be made the user decides, and "No" changes nothing. The restore never fills drive C:.

#include "restore/chooser_fixture.h"

#include "backup/set_room.h"
#include "files/drive_room.h"
#include "restore/restore_room.h"
#include "restore/undo_set.h"
#include "support/changed_registry.h"

#include <QRegularExpression>

namespace stowix::test {
namespace {

const QString UndoPath = "C:\\Stowix\\11-5-99 3;45;12 PM before restore";
constexpr qint64 Unit = 4096;

class UndoSetTest : public ChooserTest {
protected:
    UndoSetTest() {
        set = AddSet("set", {"SYSTEM.INI", "AUTOEXEC.BAT"});
        AddSoundRegistry(set);
        drive.AddFile("C:\\WINDOWS\\SYSTEM.INI", "old system.ini");
        drive.AddFile("C:\\WINDOWS\\WIN.INI", "old win.ini");
        // A sound registry that an installer changed since the set was made, so that the undo
        // set can be restored without a question about it.
        drive.AddFile("C:\\WINDOWS\\SYSTEM.DAT", ChangedSystemDat(), 39);
        drive.AddFile("C:\\WINDOWS\\USER.DAT",
                      tools::WriteRegistryFile(tools::Windows98UserTree()).bytes, 39);
        drive.AddFile("C:\\AUTOEXEC.BAT", "old autoexec", Attribute::Hidden);
        values.MinimumFreeBytes = 1 << 20;
        Open("Restore");
    }
    static QByteArray ChangedSystemDat() {
        return tools::WriteRegistryFile(ChangedWindows98SystemTree()).bytes;
    }
    void Answer(std::initializer_list<MessageAnswer> answers) {
        dialogs.answers.insert(dialogs.answers.end(), answers);
    }
    // The drive's own files, by path, as they are now.
    QMap<QString, QByteArray> DriveFiles() {
        QMap<QString, QByteArray> files;
        for (const QString& name : drive.HostNames("C:\\WINDOWS"))
            files.insert("C:\\WINDOWS\\" + name, drive.HostBytes("C:\\WINDOWS\\" + name));
        files.insert("C:\\AUTOEXEC.BAT", drive.HostBytes("C:\\AUTOEXEC.BAT"));
        return files;
    }
    // The first call whose text starts with prefix.
    qsizetype FirstCall(const QString& prefix) {
        const QStringList& calls = files.Calls();
        for (qsizetype i = 0; i < calls.size(); ++i)
            if (calls[i].startsWith(prefix)) return i;
        return -1;
    }
    void ExpectNothingChanged(const QMap<QString, QByteArray>& before) {
        EXPECT_EQ(DriveFiles(), before);
        EXPECT_FALSE(drive.HostExists(UndoPath));
        EXPECT_FALSE(drive.HostExists("C:\\Stowix\\SYSTEM.DAT"));
        EXPECT_EQ(form2.statusBar1.Text(), "Nothing restored");
        EXPECT_TRUE(form2.command1.IsEnabled() && form2.dir1.IsEnabled());
        EXPECT_TRUE(LastSetting("LastRestore").isEmpty());
    }
    QString set;
};

TEST_F(UndoSetTest, a_restore_keeps_what_it_replaces_in_a_set_first) {
    Answer({MessageAnswer::Yes, MessageAnswer::No});
    form2.dir1.DoubleClick(set);

    // The confirmation's details end by naming the set.
    ASSERT_EQ(dialogs.messages.size(), 2u);
    EXPECT_EQ(dialogs.messages[0].details.split('\r').last(),
              "What the restore replaces is kept first in " + UndoPath +
                  ": restore that set to undo the restore.");
    // The set holds the configuration as it was, attributes too, and is flushed before the
    // restore's first copy, under the restore's own status text.
    EXPECT_EQ(drive.HostBytes(UndoPath + "\\SYSTEM.INI"), "old system.ini");
    EXPECT_EQ(drive.HostBytes(UndoPath + "\\WIN.INI"), "old win.ini");
    EXPECT_EQ(drive.HostBytes(UndoPath + "\\SYSTEM.DAT"), ChangedSystemDat());
    EXPECT_EQ(files.ReadAttributes(UndoPath + "\\AUTOEXEC.BAT").value(), Attribute::Hidden);
    const qsizetype flushed = FirstCall("FlushToDisk " + UndoPath);
    ASSERT_GE(flushed, 0) << files.Describe().toStdString();
    // The restore's copies go to drive-relative places (\WINDOWS\SYSTEM.INI).
    const qsizetype firstRestoreCopy = files.Calls().indexOf(
        QRegularExpression("^CopyFile " + QRegularExpression::escape(set) + ".* -> \\\\.*"));
    ASSERT_GE(firstRestoreCopy, 0) << files.Describe().toStdString();
    EXPECT_LT(flushed, firstRestoreCopy);
    EXPECT_LT(log.IndexOf("Form2.StatusBar1.Text=Restoring ..."),
              log.IndexOf("Form2.StatusBar1.Text=Restored [" + set + "]"));
    // The restore went on; the undo set is not the user's backup.
    EXPECT_EQ(drive.HostBytes("C:\\WINDOWS\\SYSTEM.INI"), "SYSTEM.INI");
    EXPECT_EQ(LastSetting("LastRestore"), set);
    EXPECT_TRUE(LastSetting("LastBackup").isEmpty());
}

TEST_F(UndoSetTest, restoring_the_undo_set_brings_back_what_the_restore_replaced) {
    const QMap<QString, QByteArray> before = DriveFiles();
    Answer({MessageAnswer::Yes, MessageAnswer::No, MessageAnswer::Yes, MessageAnswer::No});
    form2.dir1.DoubleClick(set);
    // The second restore runs in the same second: its own undo set gets a name of its own, and
    // the set being restored is never written over.
    form2.dir1.DoubleClick(UndoPath);

    const QString second = "C:\\Stowix\\11-5-99 3;45;12 PM(2) before restore";
    EXPECT_EQ(drive.HostBytes(second + "\\SYSTEM.INI"), "SYSTEM.INI");
    EXPECT_EQ(drive.HostBytes(UndoPath + "\\SYSTEM.INI"), "old system.ini");
    EXPECT_EQ(drive.HostBytes("C:\\WINDOWS\\SYSTEM.INI"), before.value("C:\\WINDOWS\\SYSTEM.INI"));
    EXPECT_EQ(drive.HostBytes("C:\\AUTOEXEC.BAT"), before.value("C:\\AUTOEXEC.BAT"));
    // The registry comes back through the boot script: staged from the undo set.
    EXPECT_EQ(drive.HostBytes("C:\\Stowix\\SYSTEM.DAT"), ChangedSystemDat());
    EXPECT_EQ(LastSetting("LastRestore"), UndoPath);
}

TEST_F(UndoSetTest, an_undo_set_that_cannot_be_made_is_a_question_and_no_changes_nothing) {
    const QMap<QString, QByteArray> before = DriveFiles();
    files.FailCopyTo("C:\\Stowix\\* before restore\\WIN.INI", "No space left on device");
    Answer({MessageAnswer::Yes, MessageAnswer::No});
    form2.dir1.DoubleClick(set);

    ASSERT_EQ(dialogs.messages.size(), 2u) << files.Describe().toStdString();
    const AskedMessage& question = dialogs.messages[1];
    EXPECT_EQ(question.title, "Restore Without Undo");
    EXPECT_EQ(question.buttons, MessageButtons::YesNo);
    EXPECT_EQ(question.icon, MessageIcon::Question);
    EXPECT_TRUE(
        question.text.startsWith("What this restore replaces could not be kept first in "
                                 "the set " +
                                 UndoPath + ":\r"));
    EXPECT_TRUE(question.text.contains("WIN.INI") &&
                question.text.contains("No space left on device"))
        << question.text.toStdString();
    EXPECT_TRUE(question.text.endsWith("Restore without it?"));
    // "No": the incomplete set is gone again and nothing else was touched.
    ExpectNothingChanged(before);
    EXPECT_FALSE(drive.HostExists("C:\\WINDOWS\\WinStart.Bat"));
    EXPECT_EQ(form2.dir1.Path(), "C:\\Stowix");
}

TEST_F(UndoSetTest, yes_restores_without_the_undo_set) {
    files.FailCopyTo("C:\\Stowix\\* before restore\\WIN.INI", "No space left on device");
    Answer({MessageAnswer::Yes, MessageAnswer::Yes, MessageAnswer::No});
    form2.dir1.DoubleClick(set);

    EXPECT_FALSE(drive.HostExists(UndoPath));
    EXPECT_EQ(drive.HostBytes("C:\\WINDOWS\\SYSTEM.INI"), "SYSTEM.INI");
    EXPECT_EQ(LastSetting("LastRestore"), set);
}

TEST_F(UndoSetTest, the_room_check_counts_the_restore_the_undo_set_and_the_floor) {
    enum class Room { All, NotTheUndoSet, NotTheRestore };
    const struct {
        Room room;
        QString box;  // the second box; empty: the restart question follows the confirmation
        bool restored;
    } cases[] = {
        {Room::All, "", true},
        {Room::NotTheUndoSet, "Restore Without Undo", false},
        {Room::NotTheRestore, "Not enough free space", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.box.toStdString());
        drive.AddFile("C:\\WINDOWS\\SYSTEM.INI", "old system.ini");
        const qint64 restore = RestoreRoom(files, values, set, Unit);
        const qint64 undo = NewSetRoom(files, values.WindowsFolder, Unit);
        const qint64 needed = values.MinimumFreeBytes + restore + undo;
        const qint64 free = c.room == Room::All             ? needed
                            : c.room == Room::NotTheUndoSet ? needed - 1
                                                            : needed - undo - 1;
        files.freeSpace = DriveSpace{free, Unit};
        dialogs.messages.clear();
        dialogs.answers = {MessageAnswer::Yes, MessageAnswer::No, MessageAnswer::No};
        form2.dir1.DoubleClick(set);

        ASSERT_GE(dialogs.messages.size(), 2u);
        EXPECT_EQ(dialogs.messages[1].title, c.box.isEmpty() ? "Restart Windows?" : c.box);
        if (!c.box.isEmpty())
            EXPECT_TRUE(dialogs.messages[1].text.contains("free, and ") &&
                        dialogs.messages[1].text.contains("are needed"))
                << dialogs.messages[1].text.toStdString();
        EXPECT_EQ(drive.HostBytes("C:\\WINDOWS\\SYSTEM.INI"),
                  c.restored ? "SYSTEM.INI" : "old system.ini");
    }
}

TEST_F(UndoSetTest, the_restore_room_counts_growth_and_the_largest_group_in_whole_units) {
    // SYSTEM.INI (10 bytes) and AUTOEXEC.BAT (12 bytes) replace files of one unit each: no growth,
    // but one group's new files stand beside the old ones; the registry pair is staged anew.
    const qint64 staged = RoomOf(drive.HostBytes(set + "\\SYSTEM.DAT").size(), Unit) +
                          RoomOf(drive.HostBytes(set + "\\USER.DAT").size(), Unit);
    // Growth: AUTOEXEC.BAT new in the Windows folder and the staged pair; the largest group's
    // replacing files: one unit; the boot script: one unit.
    EXPECT_EQ(RestoreRoom(files, values, set, Unit), (Unit + staged) + Unit + Unit);
}

}  // namespace
}  // namespace stowix::test
