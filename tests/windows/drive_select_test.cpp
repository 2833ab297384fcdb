// Choosing the Windows drive: the drives found on a machine (a home with Wine prefixes and disk
// images, a mount table with FAT volumes), each only when it holds a Windows folder; and the
// "Select Windows Drive" window over them, from the keyboard and for screen readers.

#include "drives/drive_candidates.h"
#include "gui/drive_select_window.h"

#include <gtest/gtest.h>

#include <QAccessible>
#include <QDir>
#include <QFile>
#include <QListWidget>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

namespace stowix {
namespace {

class DriveCandidatesTest : public ::testing::Test {
protected:
    QString Path(const QString& relative) const { return root.filePath(relative); }
    void Folder(const QString& relative) { ASSERT_TRUE(QDir().mkpath(Path(relative))); }
    void File(const QString& relative, const QByteArray& bytes) {
        QFile file(Path(relative));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }
    // A FAT volume image, with a WINDOWS folder when asked.
    void Image(const QString& relative, bool windows) {
        ASSERT_TRUE(QDir().mkpath(QFileInfo(Path(relative)).path()));
        ASSERT_EQ(QProcess::execute("mkfs.fat", {"-C", Path(relative), "2048"}), 0);
        if (windows) ASSERT_EQ(QProcess::execute("mmd", {"-i", Path(relative), "::/WINDOWS"}), 0);
    }
    CandidatePlaces Places() const {
        return {Path("home"), Path("elsewhere/prefix"), Path("mountinfo"), {Path("libvirt")}};
    }
    QTemporaryDir root;
};

TEST_F(DriveCandidatesTest, finds_the_drives_that_hold_a_windows_folder) {
    for (const char* prefix : {"home/.wine", "home/.local/share/wineprefixes/game",
                               "home/.local/share/wineprefixes/empty", "elsewhere/prefix"}) {
        Folder(QString(prefix) + "/drive_c");
        File(QString(prefix) + "/system.reg", "WINE REGISTRY Version 2\n");
    }
    Folder("home/.wine/drive_c/windows");
    Folder("home/.local/share/wineprefixes/game/drive_c/Windows");
    Folder("elsewhere/prefix/drive_c/WINDOWS");  // "empty" has no Windows folder
    Image("home/VirtualBox VMs/Win98/win98.img", true);
    Image("home/vms/blank.img", false);
    Image("home/vms/deep/deeper/hidden.img", true);  // two levels down: not looked at
    Image("libvirt/w95.raw", true);
    File("home/vms/notes.txt", "not a disk");
    Folder("media/usb stick/WINDOWS");
    Folder("media/ext/WINDOWS");
    File("mountinfo",
         "22 1 8:1 / / rw - ext4 /dev/sda1 rw\n"
         "40 22 8:17 / " +
             QFile::encodeName(Path("media/usb\\040stick")) +
             " rw,nosuid - vfat /dev/sdb1 rw\n"
             "41 22 8:18 / " +
             QFile::encodeName(Path("media/ext")) + " rw - ext4 /dev/sdb2 rw\n");

    QStringList found;
    for (const DriveCandidate& candidate : FindDriveCandidates(Places()))
        found.append(QDir(root.path()).relativeFilePath(candidate.path) + " | " + candidate.kind);
    EXPECT_EQ(found, QStringList({
                         "elsewhere/prefix | Wine prefix",
                         "home/.wine | Wine prefix",
                         "home/.local/share/wineprefixes/game | Wine prefix",
                         "home/VirtualBox VMs/Win98/win98.img | disk image",
                         "libvirt/w95.raw | disk image",
                         "media/usb stick | FAT volume mounted at " + Path("media/usb stick"),
                     }));
}

TEST(DiskKinds, name_the_formats_the_program_opens) {
    EXPECT_EQ(DiskKindOfName("Win98.QCOW2"), "QEMU disk (qcow2)");
    EXPECT_EQ(DiskKindOfName("/x/disk.vdi"), "VirtualBox disk (VDI)");
    EXPECT_EQ(DiskKindOfName("disk.vhdx"), "Hyper-V disk (VHDX)");
    EXPECT_EQ(DiskKindOfName("notes.txt"), "");
    for (const char* pattern : {"*.qcow2", "*.vdi", "*.vmdk", "*.vhd", "*.vhdx", "*.img"})
        EXPECT_TRUE(DiskFilePatterns().contains(pattern)) << pattern;
}

std::vector<DriveCandidate> TwoDrives() {
    return {{"/home/user/.wine", "Wine prefix"},
            {"/home/user/vms/win98.qcow2", "QEMU disk (qcow2)"}};
}

TEST(DriveSelectWindowTest, opens_the_first_drive_with_enter) {
    DriveSelectWindow window(TwoDrives());
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    EXPECT_EQ(window.windowTitle(), "Select Windows Drive");
    auto* list = window.findChild<QListWidget*>("DriveList");
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->currentRow(), 0);
    EXPECT_TRUE(list->hasFocus());
    EXPECT_TRUE(list->item(1)->text().contains("QEMU disk (qcow2)"));
    QTest::keyClick(list, Qt::Key_Return);
    EXPECT_EQ(window.result(), QDialog::Accepted);
    EXPECT_EQ(window.Chosen(), "/home/user/.wine");
}

TEST(DriveSelectWindowTest, opens_the_drive_double_clicked_or_chosen_with_the_arrows) {
    DriveSelectWindow clicked(TwoDrives());
    clicked.show();
    auto* list = clicked.findChild<QListWidget*>("DriveList");
    const QRect second = list->visualItemRect(list->item(1));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, second.center());
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, second.center());
    EXPECT_EQ(clicked.Chosen(), "/home/user/vms/win98.qcow2");

    DriveSelectWindow keyed(TwoDrives());
    keyed.show();
    auto* keyedList = keyed.findChild<QListWidget*>("DriveList");
    QTest::keyClick(keyedList, Qt::Key_Down);
    QTest::keyClick(keyedList, Qt::Key_Enter);
    EXPECT_EQ(keyed.Chosen(), "/home/user/vms/win98.qcow2");
}

// A screen reader finds the list by its name and reads each drive with what it is.
TEST(DriveSelectWindowTest, tells_assistive_technology_its_list_and_buttons) {
    DriveSelectWindow window(TwoDrives());
    window.show();
    auto* list = window.findChild<QListWidget*>("DriveList");
    QAccessibleInterface* listAccess = QAccessible::queryAccessibleInterface(list);
    ASSERT_NE(listAccess, nullptr);
    EXPECT_EQ(listAccess->text(QAccessible::Name), "Windows drives");
    EXPECT_EQ(listAccess->role(), QAccessible::List);
    ASSERT_GE(listAccess->childCount(), 2);
    EXPECT_TRUE(listAccess->child(1)->text(QAccessible::Name).contains("win98.qcow2"));
    const struct {
        const char* name;
        QAccessible::Role role;
        const char* text;
    } buttons[] = {
        {"OpenDrive", QAccessible::Button, "Open"},
        {"BrowseDrive", QAccessible::ButtonMenu, "Browse..."},  // a folder or a disk file
        {"CancelDrive", QAccessible::Button, "Cancel"},
    };
    for (const auto& button : buttons) {
        QAccessibleInterface* access =
            QAccessible::queryAccessibleInterface(window.findChild<QPushButton*>(button.name));
        ASSERT_NE(access, nullptr) << button.name;
        EXPECT_EQ(access->role(), button.role) << button.name;
        EXPECT_EQ(access->text(QAccessible::Name), button.text) << button.name;
    }
}

}  // namespace
}  // namespace stowix
