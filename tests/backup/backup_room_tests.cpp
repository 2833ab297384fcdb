// A backup never fills drive C:: a set that would leave less free space than the set's room plus
// the floor is not begun, and the user (or the log of an unattended run) is told how much is free
// and how much is needed.

#include "backup/backup_fixture.h"

#include "backup/set_room.h"
#include "files/drive_room.h"

namespace stowix::test {
namespace {

constexpr qint64 Unit = 4096;

class BackupRoomTest : public BackupFixture {
protected:
    BackupRoomTest() {
        AddWindows98Files();
        values.MinimumFreeBytes = 1 << 20;
    }
    // The room the set takes on a drive of 4 KiB units, as the run counts it.
    qint64 SetRoom() { return NewSetRoom(faulty, values.WindowsFolder, Unit); }
    void SetFree(qint64 bytes) { faulty.freeSpace = DriveSpace{bytes, Unit}; }
};

TEST_F(BackupRoomTest, the_room_of_a_set_counts_whole_units_of_each_file_once) {
    // Eleven names (COMMAND.COM of the Windows folder replaces the root's), each under 4 KiB
    // but the two registry files; the set's folder entries and the root's new entry on top.
    const qint64 registry = RoomOf(SystemRegistry().size(), Unit) +
                            RoomOf(drive.HostBytes("C:\\WINDOWS\\USER.DAT").size(), Unit);
    EXPECT_EQ(SetRoom(), registry + 9 * Unit + RoomOf(96 * 13, Unit) + Unit);
    // Free space in 1-byte units: the sizes themselves.
    EXPECT_LT(NewSetRoom(faulty, values.WindowsFolder, 1), SetRoom());
}

TEST_F(BackupRoomTest, a_set_that_would_not_leave_the_floor_free_is_not_begun) {
    const struct {
        const char* commandLine;
        std::optional<int> status;
    } cases[] = {{"", std::nullopt}, {"/U", 3}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.commandLine);
        values.Mode = RunModeOf(QString(c.commandLine).split(u' ', Qt::SkipEmptyParts));
        system.endedWith.reset();
        dialogs.messages.clear();
        window.PendingComment = " before the driver";
        SetFree(values.MinimumFreeBytes + SetRoom() - 1);
        Run();

        ASSERT_EQ(dialogs.messages.size(), 1u);
        EXPECT_EQ(dialogs.messages[0].title, "Not enough free space");
        EXPECT_TRUE(dialogs.messages[0].text.startsWith("Drive C: has "))
            << dialogs.messages[0].text.toStdString();
        EXPECT_TRUE(dialogs.messages[0].text.contains(" free, and ") &&
                    dialogs.messages[0].text.contains(" are needed"));
        EXPECT_FALSE(drive.HostExists("C:\\Stowix"));
        EXPECT_TRUE(faulty.CallsStartingWith("CopyFile").isEmpty());
        EXPECT_EQ(StoredLastBackup(), "<absent>");
        EXPECT_EQ(window.PendingComment, " before the driver");
        EXPECT_EQ(form.statusBar1.Text(), "Backup not made: drive C: is too full");
        EXPECT_TRUE(form.command1.IsEnabled());
        EXPECT_EQ(system.endedWith, c.status);
    }
}

TEST_F(BackupRoomTest, a_set_that_leaves_exactly_the_floor_free_is_made) {
    SetFree(values.MinimumFreeBytes + SetRoom());
    Run();
    EXPECT_TRUE(dialogs.messages.empty());
    EXPECT_EQ(StoredLastBackup(), setPath);
}

TEST_F(BackupRoomTest, a_drive_that_cannot_tell_its_room_is_backed_up_as_before) {
    // The posix drive answers; a file system that knows no room (FileSystem's default) is not
    // checked, and the copies report a full disk themselves.
    struct Unknown : ForwardingFileSystem {
        using ForwardingFileSystem::ForwardingFileSystem;
        Result<DriveSpace> FreeSpace(const QString& path) override {
            return FileSystem::FreeSpace(path);
        }
    } unknown{faulty};
    MainWindow other{form, Over(unknown), values};
    BackupRun(other, other.services(), values).Run();
    EXPECT_EQ(StoredLastBackup(), setPath);
}

}  // namespace
}  // namespace stowix::test
