// The real programs against software inside the drive that works against them while they run:
// links and renames made during a delete, links and hard links where files are read or changed,
// a backup root that is a link or not the user's own, and a Windows folder on another drive.

#include "fault_fixture.h"

#include <QDir>
#include <QFile>

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <atomic>
#include <thread>

namespace stowix::test {
namespace {

constexpr int Done = 0;
constexpr int Different = 1;
constexpr int Trouble = 2;  // stowix-diff, as diff

QByteArray Host(const QString& path) { return QFile::encodeName(path); }

void WriteHostFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate)) << path.toStdString();
    ASSERT_EQ(file.write(bytes), bytes.size());
}

QByteArray HostBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

mode_t ModeOf(const QString& path) {
    struct stat info {};
    if (::lstat(Host(path).constData(), &info) != 0) return 0;
    return info.st_mode & 07777;
}

class HostileDrive : public FaultTest {
protected:
    void SetUp() override { Start(); }

    QString Windows() { return World().Drive() + QStringLiteral("/WINDOWS"); }

    RunResult Tool(const QString& name, const QStringList& arguments,
                   const QMap<QString, QString>& environment = {}) {
        RunOptions options;
        options.arguments = arguments;
        options.environment = environment;
        return World().Tool(name, options);
    }
};

// The set's folder is swapped for a link to the Windows folder right after the delete removed
// its first file: the delete goes on in the folder it found, and the Windows folder keeps every
// file. The folder that is left (under its new name) is empty and the delete is not reported as
// done.
TEST_F(HostileDrive, a_set_swapped_for_a_link_while_it_is_deleted_never_empties_windows) {
    STOWIX_NEEDS_DISPLAY();
    Faults faults;
    faults.swapSuffix = QStringLiteral("/c/Stowix/") + older;
    faults.swapTarget = QStringLiteral("../WINDOWS");
    faults.swapOnUnlink = true;
    RunOptions options;
    options.robot = FaultWorld::DeleteSteps(older);
    options.faults = faults;
    const RunResult result = World().Stowix(options);
    EXPECT_FALSE(result.killed || result.timedOut) << result.Describe();

    const QString aside = World().BackupRoot() + u'/' + older + QStringLiteral(".swapped");
    ASSERT_TRUE(QFileInfo::exists(aside)) << "the fault was not injected: " << result.Describe();
    const QStringList changed = ChangedFiles(original, TakeSnapshot(World().Drive()), QString(),
                                             {QStringLiteral("Stowix/")});
    EXPECT_TRUE(changed.isEmpty()) << changed.join(u'\n').toStdString();
    EXPECT_TRUE(
        QDir(aside).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System))
        << "the delete left the folder it found";
    EXPECT_EQ(World().Setting(QStringLiteral("Info"), QStringLiteral("LastDelete")), QString())
        << "a set still named is not recorded as deleted";
}

// A folder is swapped for a link to the Windows folder right after stowix-boot's Del removed the
// first of its files: Del goes on in the folder it found, and the Windows folder's files of the
// same names stay.
TEST_F(HostileDrive, a_folder_swapped_for_a_link_during_del_never_leads_it_elsewhere) {
    for (const char* name : {"/WIN.INI", "/SYSTEM.INI"})
        ASSERT_TRUE(QFile::copy(Windows() + QLatin1String(name),
                                World().BackupRoot() + QLatin1String(name)));
    WriteHostFile(Windows() + QStringLiteral("/WinStart.Bat"),
                  "@Echo Off\r\nDel C:\\Stowix\\*.Ini\r\n");
    Faults faults;
    faults.swapSuffix = QStringLiteral("/c/Stowix");
    faults.swapTarget = QStringLiteral("WINDOWS");
    faults.swapOnUnlink = true;
    const RunResult boot = World().Boot(faults);
    EXPECT_TRUE(boot.Ended(Done)) << boot.Describe();
    ASSERT_TRUE(QFileInfo::exists(World().BackupRoot() + QStringLiteral(".swapped")))
        << "the fault was not injected: " << boot.Describe();
    for (const char* name : {"/WIN.INI", "/SYSTEM.INI"}) {
        EXPECT_TRUE(QFileInfo::exists(Windows() + QLatin1String(name))) << name;
        EXPECT_FALSE(QFileInfo::exists(World().BackupRoot() + QStringLiteral(".swapped") +
                                       QLatin1String(name)))
            << name;
    }
}

// A file of a group that is a link out of the drive, or to nothing, is never read, and the run
// names it and ends 3, as for a file that cannot be read; stowix-diff names it and ends 2.
TEST_F(HostileDrive, a_group_file_that_links_out_of_the_drive_or_to_nothing_fails_and_is_named) {
    const QString outside = World().Root() + QStringLiteral("/outside");
    WriteHostFile(outside, "[outside the drive]\r\n");
    const QString setName = older;
    for (const QByteArray& target : {Host(outside), QByteArray("nowhere")}) {
        for (const char* name : {"WIN.INI", "SYSTEM.DAT"}) {
            SCOPED_TRACE(name + (" -> " + target.toStdString()));
            const QString path = Windows() + u'/' + QLatin1String(name);
            const QString aside = path + QStringLiteral(".real");
            ASSERT_TRUE(QFile::rename(path, aside));
            ASSERT_EQ(::symlink(target.constData(), Host(path).constData()), 0);
            const QString dosPath = QStringLiteral("C:\\WINDOWS\\") + QLatin1String(name);

            const RunResult result = Backup();
            EXPECT_TRUE(result.Ended(IncompleteStatus)) << result.Describe();
            EXPECT_TRUE(result.errors.contains(dosPath)) << result.Describe();
            const QString made = World().NewSet(setsBefore);
            EXPECT_FALSE(
                QFileInfo::exists(World().BackupRoot() + u'/' + made + u'/' + QLatin1String(name)))
                << "the file behind the link was copied";
            const RunResult compared = Tool(QStringLiteral("stowix-diff"), {setName});
            EXPECT_TRUE(compared.Ended(Trouble)) << compared.Describe();
            EXPECT_TRUE(compared.output.contains(QStringLiteral("trouble  ") + dosPath))
                << compared.Describe();
            EXPECT_FALSE(compared.output.contains(dosPath + QStringLiteral(": ") + dosPath))
                << compared.Describe();
            ASSERT_TRUE(QFile::remove(path));
            ASSERT_TRUE(QFile::rename(aside, path));
            SetAside();
        }
    }
}

// A backup root that is a link (inside the drive), one that others may write in, and one made
// by another user: the backup refuses it with status 3 and a message that names the owner and
// the mode, and nothing is written into it.
TEST_F(HostileDrive, a_backup_root_that_is_a_link_or_not_the_users_own_is_refused) {
    const QString root = World().BackupRoot();
    const QString kept = root + QStringLiteral(".kept");
    ASSERT_TRUE(QDir().rename(root, kept));
    const struct {
        const char* what;
        bool link;
        mode_t mode;
        bool otherOwner;
        const char* says;
    } cases[] = {
        {"a link to the Windows folder", true, 0, false, "is a link"},
        {"a folder every user may write in", false, 0777, false, "mode 0777"},
        {"a folder its group may write in", false, 0770, false, "mode 0770"},
        {"a folder of another user", false, 0700, true, "uid 65534"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        if (c.link) {
            ASSERT_EQ(::symlink("WINDOWS", Host(root).constData()), 0);
        } else {
            ASSERT_TRUE(QDir().mkdir(root));
            ASSERT_EQ(::chmod(Host(root).constData(), c.mode), 0);
            if (c.otherOwner && ::chown(Host(root).constData(), 65534, 65534) != 0) {
                ASSERT_TRUE(QDir().rmdir(root));
                continue;  // only root can give a folder away
            }
        }
        const mode_t windowsMode = ModeOf(Windows());
        Remember();
        const RunResult result = Backup();
        EXPECT_TRUE(result.Ended(IncompleteStatus)) << result.Describe();
        EXPECT_TRUE(result.errors.contains(QLatin1String(c.says))) << result.Describe();
        const QStringList changed =
            ChangedFiles(original, TakeSnapshot(World().Drive()), QString());
        EXPECT_TRUE(changed.isEmpty()) << changed.join(u'\n').toStdString();
        EXPECT_EQ(ModeOf(Windows()), windowsMode);
        if (!c.link) {
            EXPECT_EQ(ModeOf(root), c.mode) << "the refused root was changed";
        }
        if (c.link)
            ASSERT_TRUE(QFile::remove(root));
        else
            ASSERT_TRUE(QDir().rmdir(root));
    }
    ASSERT_TRUE(QDir().rename(kept, root));
}

// A staged registry file that is a hard link to a file outside the drive: stowix-boot's Attrib
// leaves that file's mode as it is, says why, and ends 3.
TEST_F(HostileDrive, attrib_never_changes_a_file_with_more_than_one_name) {
    const QString outside = World().Root() + QStringLiteral("/outside.dat");
    WriteHostFile(outside, "registry outside the drive");
    ASSERT_EQ(::chmod(Host(outside).constData(), 0444), 0);
    const QString staged = World().BackupRoot() + QStringLiteral("/SYSTEM.DAT");
    ASSERT_EQ(::link(Host(outside).constData(), Host(staged).constData()), 0);
    WriteHostFile(Windows() + QStringLiteral("/WinStart.Bat"),
                  BootScript(QStringLiteral("C:\\WINDOWS")));

    const RunResult boot = World().Boot();
    EXPECT_TRUE(boot.Ended(IncompleteStatus)) << boot.Describe();
    EXPECT_TRUE(boot.errors.contains(QLatin1String("C:\\Stowix\\SYSTEM.DAT"))) << boot.Describe();
    EXPECT_TRUE(boot.errors.contains(QLatin1String("hard link"))) << boot.Describe();
    EXPECT_EQ(ModeOf(outside), mode_t(0444)) << "the change went through the hard link";
}

// The same file swapped for a hard link to a file outside the drive while Attrib works on it
// (a second process exchanging the two names as fast as it can): whichever Attrib meets, the
// file outside keeps its mode and gets no DOS attributes.
TEST_F(HostileDrive, attrib_changes_nothing_outside_when_a_hard_link_is_swapped_in) {
    const QString outside = World().Root() + QStringLiteral("/outside.dat");
    WriteHostFile(outside, "outside the drive");
    ASSERT_EQ(::chmod(Host(outside).constData(), 0444), 0);
    const QString target = World().BackupRoot() + QStringLiteral("/RACE.DAT");
    const QString spare = World().BackupRoot() + QStringLiteral("/SPARE.DAT");
    WriteHostFile(target, "inside the drive");
    ASSERT_EQ(::link(Host(outside).constData(), Host(spare).constData()), 0);
    QByteArray script;
    for (int i = 0; i < 25; ++i)
        script += "Attrib -R C:\\Stowix\\RACE.DAT\r\nAttrib +H C:\\Stowix\\RACE.DAT\r\n";
    WriteHostFile(Windows() + QStringLiteral("/WinStart.Bat"), script);

    std::atomic<bool> stop = false;
    std::thread swapper([&] {
        const QByteArray a = Host(target), b = Host(spare);
        while (!stop)
            (void)::renameat2(AT_FDCWD, a.constData(), AT_FDCWD, b.constData(), RENAME_EXCHANGE);
    });
    for (int run = 0; run < 12; ++run) (void)World().Boot();
    stop = true;
    swapper.join();
    EXPECT_EQ(ModeOf(outside), mode_t(0444)) << "Attrib changed the file outside the drive";
    char value[64];
    EXPECT_LT(::getxattr(Host(outside).constData(), "user.DOSATTRIB", value, sizeof value), 0)
        << "Attrib gave the file outside the drive DOS attributes";
}

// stowix-boot's Attrib and Copy reach the Windows folder through a folder that is a link: one
// inside the drive (to the Windows folder itself) and one out of it. Neither is followed: each
// file is named, the run ends 3, and neither the Windows folder nor the folder outside changes.
TEST_F(HostileDrive, boot_changes_nothing_through_a_link_in_a_path) {
    const QString outside = World().Root() + QStringLiteral("/outside");
    ASSERT_TRUE(QDir().mkpath(outside));
    WriteHostFile(outside + QStringLiteral("/SYSTEM.DAT"), "outside the drive");
    for (const char* name : {"/SYSTEM.DAT", "/USER.DAT"})
        ASSERT_TRUE(QFile::copy(World().BackupRoot() + u'/' + older + QLatin1String(name),
                                World().BackupRoot() + QLatin1String(name)));
    const struct {
        const char* what;
        QByteArray target;
        const char* named;
    } cases[] = {
        {"a link to the Windows folder", "WINDOWS", "C:\\LINKED\\SYSTEM.DAT"},
        {"a link out of the drive", Host(outside), "C:\\LINKED"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const QString link = World().Drive() + QStringLiteral("/LINKED");
        ASSERT_EQ(::symlink(c.target.constData(), Host(link).constData()), 0);
        WriteHostFile(Windows() + QStringLiteral("/WinStart.Bat"),
                      BootScript(QStringLiteral("C:\\LINKED")).replace("Del ", "Rem "));
        Remember();
        const Snapshot outsideBefore = TakeSnapshot(outside);

        const RunResult boot = World().Boot();
        EXPECT_TRUE(boot.Ended(IncompleteStatus)) << boot.Describe();
        EXPECT_TRUE(boot.errors.contains(QLatin1String(c.named))) << boot.Describe();
        const QStringList changed = ChangedFiles(original, TakeSnapshot(World().Drive()), QString(),
                                                 {QStringLiteral("Stowix/")});
        EXPECT_TRUE(changed.isEmpty()) << changed.join(u'\n').toStdString();
        const QStringList changedOutside =
            ChangedFiles(outsideBefore, TakeSnapshot(outside), QString());
        EXPECT_TRUE(changedOutside.isEmpty()) << changedOutside.join(u'\n').toStdString();
        ASSERT_TRUE(QFile::remove(link));
    }
}

// The Windows folder is a link to the folder that holds it now (software inside the drive moved
// it): the restore copies nothing through the link and names each Windows-folder file it did not
// restore, while the start-up files in the drive's root are restored.
TEST_F(HostileDrive, a_restore_changes_nothing_through_a_link_in_a_path) {
    STOWIX_NEEDS_DISPLAY();
    const QString moved = World().Drive() + QStringLiteral("/WINREAL");
    ASSERT_TRUE(QDir().rename(Windows(), moved));
    ASSERT_EQ(::symlink("WINREAL", Host(Windows()).constData()), 0);
    WriteHostFile(World().Drive() + QStringLiteral("/AUTOEXEC.BAT"), "changed by the user\r\n");
    Remember();

    const RunResult result = Restore(older);
    EXPECT_FALSE(result.killed || result.timedOut) << result.Describe();
    EXPECT_TRUE(result.errors.contains(QLatin1String("box [Restore incomplete]")) &&
                result.errors.contains(QLatin1String("C:\\WINDOWS\\WIN.INI")))
        << result.Describe();
    const QStringList changed = ChangedFiles(original, TakeSnapshot(World().Drive()), QString(),
                                             {QStringLiteral("Stowix/")});
    ASSERT_EQ(changed.size(), 1) << changed.join(u'\n').toStdString();
    EXPECT_TRUE(changed.front().startsWith(QLatin1String("AUTOEXEC.BAT: changed")))
        << "the start-up file was not restored";
    EXPECT_EQ(World().Setting(QStringLiteral("Info"), QStringLiteral("LastRestore")), QString());
}

// A Windows folder on drive D:: the backup takes every Windows-folder group from it (nothing
// from a folder of the same name on C:), and stowix-diff compares the set with it.
TEST_F(HostileDrive, a_windows_folder_on_another_drive_is_the_one_backed_up_and_compared) {
    const QString driveD = World().Root() + QStringLiteral("/d");
    const QString windowsD = driveD + QStringLiteral("/WINDOWS");
    ASSERT_TRUE(QDir().mkpath(windowsD));
    for (const char* name : {"SYSTEM.DAT", "USER.DAT"})
        ASSERT_TRUE(QFile::copy(Windows() + u'/' + QLatin1String(name),
                                windowsD + u'/' + QLatin1String(name)));
    WriteHostFile(windowsD + QStringLiteral("/WIN.INI"), "[windows on D]\r\n");
    const QMap<QString, QString> onD = {
        {QStringLiteral("STOWIX_DRIVE_D"), driveD},
        {QStringLiteral("STOWIX_WINDOWS_FOLDER"), QStringLiteral("D:\\WINDOWS")}};

    RunOptions options = UnattendedRun();
    options.environment = onD;
    const RunResult backup = World().Stowix(options);
    ASSERT_TRUE(backup.Ended(Done)) << backup.Describe();
    const QString set = World().BackupRoot() + u'/' + World().NewSet(setsBefore);
    EXPECT_EQ(HostBytes(set + QStringLiteral("/WIN.INI")), "[windows on D]\r\n");
    EXPECT_FALSE(QFileInfo::exists(set + QStringLiteral("/SYSTEM.INI")))
        << "a file of C:\\WINDOWS was taken";
    EXPECT_TRUE(QFileInfo::exists(set + QStringLiteral("/AUTOEXEC.BAT")))
        << "the root's files come from C:";

    const QString setName = QFileInfo(set).fileName();
    const RunResult same = Tool(QStringLiteral("stowix-diff"), {setName}, onD);
    EXPECT_TRUE(same.Ended(Done)) << same.Describe();
    WriteHostFile(windowsD + QStringLiteral("/WIN.INI"), "[changed on D]\r\n");
    const RunResult changed = Tool(QStringLiteral("stowix-diff"), {setName}, onD);
    EXPECT_TRUE(changed.Ended(Different)) << changed.Describe();
    EXPECT_TRUE(changed.output.contains(QLatin1String("D:\\WINDOWS\\WIN.INI")))
        << changed.Describe();
}

// The restore puts the Windows-folder groups back where they came from, on drive D:, and
// leaves the folder of the same name on C: as it was.
TEST_F(HostileDrive, a_windows_folder_on_another_drive_is_the_one_restored) {
    STOWIX_NEEDS_DISPLAY();
    const QString windowsD = World().Root() + QStringLiteral("/d/WINDOWS");
    ASSERT_TRUE(QDir().mkpath(windowsD));
    WriteHostFile(windowsD + QStringLiteral("/WIN.INI"), "[before the restore]\r\n");
    RunOptions options;
    options.robot = FaultWorld::RestoreSteps(older);
    options.environment = {
        {QStringLiteral("STOWIX_DRIVE_D"), World().Root() + QStringLiteral("/d")},
        {QStringLiteral("STOWIX_WINDOWS_FOLDER"), QStringLiteral("D:\\WINDOWS")}};
    const RunResult result = World().Stowix(options);
    EXPECT_FALSE(result.killed || result.timedOut) << result.Describe();
    EXPECT_EQ(HostBytes(windowsD + QStringLiteral("/WIN.INI")),
              HostBytes(World().BackupRoot() + u'/' + older + QStringLiteral("/WIN.INI")));
    const QStringList changed =
        ChangedFiles(original, TakeSnapshot(World().Drive()), QStringLiteral("WINDOWS/"));
    EXPECT_TRUE(changed.isEmpty()) << changed.join(u'\n').toStdString();
}

}  // namespace
}  // namespace stowix::test
