// The real programs against a hostile drive and a careless caller: no status 0 where no complete
// set of the real configuration was made, nothing changed or deleted through a link, copies that
// keep a sparse file sparse and notice a file written meanwhile, statuses that follow the one
// table of every command, and messages that say what is wrong.

#include "fault_fixture.h"
#include "registry_file_writer.h"
#include "windows98_registry.h"

#include "app/qt_system.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QLockFile>
#include <QRegularExpression>
#include <QThread>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

namespace stowix::test {
namespace {

constexpr int Done = 0;
constexpr int UsageStatus = 1;
constexpr int NothingDone = 2;
constexpr int AnotherCopy = 5;

// Written by its bytes: a name that is not UTF-8 keeps them.
void WriteHostFile(const QByteArray& path, const QByteArray& bytes) {
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    ASSERT_GE(fd, 0) << path.toStdString();
    EXPECT_EQ(::write(fd, bytes.constData(), size_t(bytes.size())), bytes.size());
    ::close(fd);
}

QByteArray Host(const QString& path) { return QFile::encodeName(path); }

mode_t ModeOf(const QString& path) {
    struct stat info {};
    if (::lstat(Host(path).constData(), &info) != 0) return 0;
    return info.st_mode & 07777;
}

bool IsLink(const QString& path) { return QFileInfo(path).isSymLink(); }

class Hardening : public FaultTest {
protected:
    void SetUp() override { Start(); }

    RunResult Unattended(const QMap<QString, QString>& environment = {},
                         const QStringList& unset = {}) {
        RunOptions options = UnattendedRun();
        options.environment = environment;
        options.unset = unset;
        return World().Stowix(options);
    }

    RunResult Boot(const QMap<QString, QString>& environment = {},
                   const QStringList& arguments = {}, const QStringList& unset = {}) {
        RunOptions options;
        options.environment = environment;
        options.arguments = arguments;
        options.unset = unset;
        return World().Tool(QStringLiteral("stowix-boot"), options);
    }

    RunResult Dir(const QString& dosFolder) {
        RunOptions options;
        options.arguments = {dosFolder};
        return World().Tool(QStringLiteral("stowix-dir"), options);
    }

    // The names of the backup sets that runs started in the next seconds make, as the program
    // names them: the short date and the time with seconds, "/" and ":" written "-" and ";".
    static QStringList ComingSetNames(int seconds) {
        const QLocale locale;
        const QString timeFormat = QtSystem::TimeFormatWithSeconds(locale);
        QStringList names;
        const QDateTime now = QDateTime::currentDateTime();
        for (int second = -1; second <= seconds; ++second) {
            const QDateTime at = now.addSecs(second);
            QString name = locale.toString(at.date(), QLocale::ShortFormat) + u' ' +
                           locale.toString(at.time(), timeFormat);
            names.append(name.replace(u'/', u'-').replace(u':', u';'));
        }
        names.removeDuplicates();
        return names;
    }

    QString SetFile(const QString& set, const QString& name) const {
        return m_world->BackupRoot() + u'/' + set + u'/' + name;
    }
};

// A Windows folder that is missing, a file, given without its drive letter or in quotes, or one
// of two WINDOWS folders, and a drive folder that is missing or a file: the backup and the boot
// script both end with status 2 and say what is wrong; no set is made.
TEST_F(Hardening, odd_or_ambiguous_windows_folders_stop_every_command_with_status_2) {
    const QString file = World().Root() + QStringLiteral("/a-file");
    WriteHostFile(Host(file), "not a drive");
    const struct {
        const char* what;
        QMap<QString, QString> environment;
        bool secondWindowsFolder;
        QString says;
    } cases[] = {
        {"a folder that does not exist",
         {{"STOWIX_WINDOWS_FOLDER", "C:\\NOWHERE"}},
         false,
         "C:\\NOWHERE"},
        {"a file", {{"STOWIX_WINDOWS_FOLDER", "C:\\WINDOWS\\WIN.INI"}}, false, "is a file"},
        {"no drive letter",
         {{"STOWIX_WINDOWS_FOLDER", "\\WINDOWS"}},
         false,
         "lacks its drive letter"},
        {"quoted", {{"STOWIX_WINDOWS_FOLDER", "\"C:\\WINDOWS\""}}, false, "quoted"},
        {"two WINDOWS folders", {}, true, "C:\\WINDOWS and C:\\windows"},
        {"a drive folder that does not exist",
         {{"STOWIX_DRIVE_C", World().Root() + "/missing"}},
         false,
         "does not exist"},
        {"a drive folder that is a file", {{"STOWIX_DRIVE_C", file}}, false, "disk image"},
    };
    const QString second = World().Drive() + QStringLiteral("/windows");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        if (c.secondWindowsFolder) {
            ASSERT_TRUE(QDir().mkdir(second));
        }
        const RunResult backup = Unattended(c.environment);
        EXPECT_TRUE(backup.Ended(NothingDone)) << backup.Describe();
        EXPECT_TRUE(backup.errors.contains(c.says)) << backup.Describe();
        EXPECT_FALSE(backup.errors.contains(QLatin1String("No Windows folder was found")))
            << backup.Describe();
        EXPECT_EQ(World().SetNames(), setsBefore);
        const RunResult boot = Boot(c.environment);
        EXPECT_TRUE(boot.Ended(NothingDone)) << boot.Describe();
        EXPECT_TRUE(boot.errors.contains(c.says)) << boot.Describe();
        if (c.secondWindowsFolder) {
            // The variable chooses between them.
            const RunResult chosen = Unattended(
                {{QStringLiteral("STOWIX_WINDOWS_FOLDER"), QStringLiteral("C:\\WINDOWS")}});
            EXPECT_TRUE(chosen.Ended(Done)) << chosen.Describe();
            SetAside();
            ASSERT_TRUE(QDir().rmdir(second));
        }
    }
}

TEST_F(Hardening, stowix_boot_ends_with_the_statuses_of_every_command) {
    const QString script = World().Drive() + QStringLiteral("/WINDOWS/WinStart.Bat");
    const struct {
        const char* what;
        QByteArray script;  // empty: none; "/": a folder in its place
        QStringList arguments;
        QStringList unset;
        int status;
    } cases[] = {
        {"no script", "", {}, {}, Done},
        {"a script that runs",
         "@Echo Off\r\nIf Not Exist C:\\NONE.DAT GoTo Exit\r\n:Exit\r\n",
         {},
         {},
         Done},
        {"an unknown option", "", {"--restore"}, {}, UsageStatus},
        {"no drive C:", "", {}, {"STOWIX_DRIVE_C"}, NothingDone},
        {"a failing command", "GoTo Nowhere\r\n", {}, {}, IncompleteStatus},
        {"a script that cannot be read", "/", {}, {}, IncompleteStatus},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        QFile::remove(script);
        QDir().rmdir(script);
        if (c.script == "/")
            ASSERT_TRUE(QDir().mkdir(script));
        else if (!c.script.isEmpty())
            WriteHostFile(Host(script), c.script);
        const RunResult boot = Boot({}, c.arguments, c.unset);
        EXPECT_TRUE(boot.Ended(c.status)) << boot.Describe();
    }
    QDir().rmdir(script);
}

// Two files whose names differ only in case are one file on Windows and in a set: the backup
// fails, names both, and copies neither, in a wildcard group and in a single-name group alike.
TEST_F(Hardening, names_that_differ_only_in_case_fail_the_backup_and_name_both) {
    const QByteArray windows = Host(World().Drive()) + "/WINDOWS/";
    WriteHostFile(windows + "win.ini", "[lower case]\r\n");
    WriteHostFile(windows + "system.dat", "lower-case registry");
    Remember();

    const RunResult result = Backup();
    EXPECT_TRUE(result.Ended(IncompleteStatus)) << result.Describe();
    for (const char* name : {"C:\\WINDOWS\\WIN.INI", "C:\\WINDOWS\\win.ini",
                             "C:\\WINDOWS\\SYSTEM.DAT", "C:\\WINDOWS\\system.dat"})
        EXPECT_TRUE(result.errors.contains(QLatin1String(name))) << name << result.Describe();
    EXPECT_TRUE(result.errors.contains(QLatin1String("differ only in case"))) << result.Describe();
    const QString made = World().NewSet(setsBefore);
    ASSERT_FALSE(made.isEmpty());
    const QStringList inSet =
        QDir(World().BackupRoot() + u'/' + made).entryList(QDir::Files | QDir::Hidden);
    for (const QString& name : inSet)
        EXPECT_TRUE(name.compare(QLatin1String("WIN.INI"), Qt::CaseInsensitive) != 0 &&
                    name.compare(QLatin1String("SYSTEM.DAT"), Qt::CaseInsensitive) != 0)
            << name.toStdString();
    ExpectBackupContained();
}

// A host name with a backslash cannot be a Windows name: the backup names it as a failure, and
// stowix-dir lists the rest of the folder, showing that name and bytes that are not UTF-8
// escaped, so that no two names look alike.
TEST_F(Hardening, names_windows_cannot_hold_are_named_and_shown_escaped) {
    const QByteArray windows = Host(World().Drive()) + "/WINDOWS/";
    WriteHostFile(windows + "A\\B.INI", "[backslash]\r\n");
    WriteHostFile(windows + "CAF\xC9.INI", "[latin-1]\r\n");
    WriteHostFile(windows + "CAF\\xC9.INI", "[typed escape]\r\n");

    const RunResult backup = Backup();
    EXPECT_TRUE(backup.Ended(IncompleteStatus)) << backup.Describe();
    EXPECT_TRUE(backup.errors.contains(QLatin1String("the name holds the character \\")))
        << backup.Describe();

    const RunResult listed = Dir(QStringLiteral("C:\\WINDOWS"));
    EXPECT_TRUE(listed.Ended(IncompleteStatus)) << listed.Describe();
    for (const char* refused : {"C:\\WINDOWS\\A\\x5CB.INI", "C:\\WINDOWS\\CAF\\x5CxC9.INI"})
        EXPECT_TRUE(listed.errors.contains(QLatin1String(refused))) << refused << listed.Describe();
    for (const char* shown : {"C:\\WINDOWS\\WIN.INI", "C:\\WINDOWS\\CAF\\xC9.INI"})
        EXPECT_TRUE(listed.output.contains(QLatin1String(shown))) << shown << listed.Describe();
    EXPECT_FALSE(listed.output.contains(QLatin1String("A\\B.INI"))) << listed.Describe();

    for (const char* folder : {"C:\\NOWHERE", "C:\\WINDOWS\\WIN.INI"}) {
        SCOPED_TRACE(folder);
        const RunResult missing = Dir(QLatin1String(folder));
        EXPECT_TRUE(missing.Ended(NothingDone)) << missing.Describe();
        EXPECT_TRUE(missing.errors.contains(QLatin1String(folder))) << missing.Describe();
    }
}

TEST_F(Hardening, a_file_written_to_while_it_is_copied_fails_the_backup) {
    Faults faults;
    faults.growSuffix = QStringLiteral("/WINDOWS/WIN.INI");
    const RunResult result = Backup(faults);
    EXPECT_TRUE(result.Ended(IncompleteStatus)) << result.Describe();
    EXPECT_TRUE(
        result.errors.contains(QLatin1String("C:\\WINDOWS\\WIN.INI: the file changed while "
                                             "it was copied")))
        << result.Describe();
    EXPECT_EQ(World().Setting(QStringLiteral("Info"), QStringLiteral("LastBackup")),
              QStringLiteral("C:\\Stowix\\") + older);
}

TEST_F(Hardening, an_unattended_run_beside_another_copy_says_so_in_one_line_and_ends_5) {
    // The lock of the drive the run works on (each drive has its own).
    const QString driveName = QFileInfo(World().DriveC()).canonicalFilePath();
    // Where the program looks: its runtime folder is the world's.
    const bool hadSession = qEnvironmentVariableIsSet("XDG_RUNTIME_DIR");
    const QByteArray session = qgetenv("XDG_RUNTIME_DIR");
    qputenv("XDG_RUNTIME_DIR", World().Runtime().toLocal8Bit());
    QLockFile running(QtSystem::DefaultLockFilePath(driveName));
    if (hadSession)
        qputenv("XDG_RUNTIME_DIR", session);
    else
        qunsetenv("XDG_RUNTIME_DIR");
    ASSERT_TRUE(running.tryLock(0));
    const RunResult result = Backup();
    EXPECT_TRUE(result.Ended(AnotherCopy)) << result.Describe();
    EXPECT_EQ(result.errors.trimmed().count(u'\n'), 0) << result.Describe();
    EXPECT_TRUE(result.errors.contains(QLatin1String("another copy"))) << result.Describe();
    EXPECT_EQ(World().SetNames(), setsBefore);
}

// The new set's name taken by a set of an earlier run (the same second, or the hour that repeats
// when clocks go back), by a link (into the Windows folder) or by a file: the run makes a folder
// of its own, the name with "(2)" after the stamp, and never writes into or through the other.
TEST_F(Hardening, a_taken_set_name_gives_a_set_of_its_own_and_is_never_written_through) {
    enum class Taken { Folder, Link, File };
    const struct {
        const char* what;
        Taken kind;
    } cases[] = {
        {"an earlier set", Taken::Folder}, {"a link", Taken::Link}, {"a file", Taken::File}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const QStringList planted = ComingSetNames(20);
        for (const QString& name : planted) {
            const QByteArray path = Host(World().BackupRoot() + u'/' + name);
            if (c.kind == Taken::Link) {
                ASSERT_EQ(::symlink("../WINDOWS", path.constData()), 0);
            } else if (c.kind == Taken::File) {
                WriteHostFile(path, "planted");
            } else {
                ASSERT_EQ(::mkdir(path.constData(), 0700), 0);
                WriteHostFile(path + "/WIN.INI", "[the earlier set]\r\n");
            }
        }
        Remember();
        const RunResult result = Backup();
        EXPECT_TRUE(result.Ended(Done)) << result.Describe();
        const QString made = World().NewSet(setsBefore);
        EXPECT_TRUE(made.endsWith(QLatin1String("(2)")) && planted.contains(made.chopped(3)))
            << made.toStdString();
        EXPECT_EQ(World().Setting(QStringLiteral("Info"), QStringLiteral("LastBackup")),
                  QStringLiteral("C:\\Stowix\\") + made);
        const QStringList changed = ChangedFiles(original, TakeSnapshot(World().Drive()), QString(),
                                                 {QStringLiteral("Stowix/") + made});
        EXPECT_TRUE(changed.isEmpty()) << changed.join(u'\n').toStdString();
        for (const QString& name : planted) {
            const QString path = World().BackupRoot() + u'/' + name;
            QFile::remove(path + QStringLiteral("/WIN.INI"));
            if (!QFile::remove(path)) QDir().rmdir(path);
        }
        SetAside();
    }
}

// A mode change is made on the entry that was found: a link swapped in under its name just
// before the change (another user racing the program) never redirects it, in the backup root's
// owner-only mode, in stowix-boot's Attrib, and in the restore of a read-only file.
TEST(SwappedLink, a_link_swapped_in_before_a_mode_change_never_redirects_it) {
    const bool display = !FaultWorld::Display().isEmpty();
    const struct {
        const char* what;
        const char* entry;  // the entry that is swapped, relative to the drive's folder
        bool folder;        // the target is a folder (0755), else a read-only file (0444)
        bool needsDisplay;
    } cases[] = {
        {"the backup root's owner-only mode", "Stowix", true, false},
        {"stowix-boot's Attrib of a staged file", "Stowix/SYSTEM.DAT", false, false},
        {"the restore of a read-only file", "MSDOS.SYS", false, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        if (c.needsDisplay && !display) continue;
        FaultWorld world;
        const QString target = world.Root() + QStringLiteral("/outside");
        if (c.folder) {
            ASSERT_TRUE(QDir().mkdir(target));
            ASSERT_EQ(::chmod(Host(target).constData(), 0755), 0);
        } else {
            WriteHostFile(Host(target), "outside the drive");
            ASSERT_EQ(::chmod(Host(target).constData(), 0444), 0);
        }
        const mode_t before = ModeOf(target);
        Faults faults;
        faults.swapSuffix = QStringLiteral("/c/") + QLatin1String(c.entry);
        faults.swapTarget = target;

        RunResult result;
        if (QLatin1String(c.entry) == QLatin1String("Stowix")) {
            RunOptions options = UnattendedRun();
            options.faults = faults;
            result = world.Stowix(options);
        } else if (QLatin1String(c.entry) == QLatin1String("Stowix/SYSTEM.DAT")) {
            // What a restore leaves for the next start: a staged pair, read-only, and the script.
            ASSERT_TRUE(QDir().mkdir(world.BackupRoot()));
            for (const char* name : {"/SYSTEM.DAT", "/USER.DAT"}) {
                const QByteArray staged = Host(world.BackupRoot()) + name;
                WriteHostFile(staged, "staged registry");
                ASSERT_EQ(::chmod(staged.constData(), 0444), 0);
            }
            WriteHostFile(Host(world.Drive()) + "/WINDOWS/WinStart.Bat",
                          BootScript(QStringLiteral("C:\\WINDOWS")));
            result = world.Boot(faults);
        } else {
            const RunResult made = world.Stowix(UnattendedRun());
            ASSERT_TRUE(made.Ended(0)) << made.Describe();
            RunOptions options;
            options.robot = FaultWorld::RestoreSteps(world.NewSet({}));
            options.faults = faults;
            result = world.Stowix(options);
        }
        EXPECT_FALSE(result.killed || result.timedOut) << result.Describe();
        // The entry went aside (a restore then puts its copy in the link's place).
        EXPECT_TRUE(QFileInfo::exists(world.Drive() + u'/' + QLatin1String(c.entry) +
                                      QStringLiteral(".swapped")))
            << "the fault was not injected: " << result.Describe();
        EXPECT_EQ(ModeOf(target), before) << "the change went through the link";
    }
}

TEST_F(Hardening, a_sparse_file_keeps_its_holes_in_the_set) {
    constexpr qint64 size = qint64(1) << 30;
    const QByteArray path = Host(World().Drive()) + "/WINDOWS/HUGE.INI";
    {
        const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::pwrite(fd, "[start]\r\n", 9, 0), 9);
        ASSERT_EQ(::pwrite(fd, "[end]\r\n", 7, size - 7), 7);
        ::close(fd);
    }
    const RunResult result = Backup();
    EXPECT_TRUE(result.Ended(Done)) << result.Describe();
    const QString made = World().NewSet(setsBefore);
    ASSERT_FALSE(made.isEmpty());
    const QByteArray copy = Host(SetFile(made, QStringLiteral("HUGE.INI")));
    struct stat info {};
    ASSERT_EQ(::stat(copy.constData(), &info), 0);
    EXPECT_EQ(info.st_size, size);
    EXPECT_LT(qint64(info.st_blocks) * 512, qint64(16) << 20) << "the holes were filled";
    char start[9] = {};
    char end[7] = {};
    const int fd = ::open(copy.constData(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(::pread(fd, start, sizeof start, 0), 9);
    EXPECT_EQ(::pread(fd, end, sizeof end, size - 7), 7);
    ::close(fd);
    EXPECT_EQ(QByteArray(start, 9), "[start]\r\n");
    EXPECT_EQ(QByteArray(end, 7), "[end]\r\n");
    QFile::remove(QFile::decodeName(path));
    QFile::remove(QFile::decodeName(copy));
}

TEST_F(Hardening, a_settings_file_over_a_mebibyte_is_set_aside_like_a_corrupt_one) {
    QByteArray big = "[Info]\nLastBackup=C:\\Stowix\\" + older.toUtf8() + "\n";
    while (big.size() <= (2 << 20)) big += "; a comment line that pads the file out\n";
    WriteHostFile(Host(World().SettingsFile()), big);
    const RunResult result = Backup();
    EXPECT_TRUE(result.Ended(Done)) << result.Describe();
    EXPECT_EQ(QFileInfo(World().SettingsFile() + QStringLiteral(".corrupt")).size(), big.size());
    EXPECT_LT(QFileInfo(World().SettingsFile()).size(), 4096);
    EXPECT_EQ(World().Setting(QStringLiteral("Info"), QStringLiteral("LastBackup")),
              QStringLiteral("C:\\Stowix\\") + World().NewSet(setsBefore));
}

TEST_F(Hardening, a_settings_path_that_is_a_folder_is_reported_as_one) {
    ASSERT_TRUE(QFile::remove(World().SettingsFile()));
    ASSERT_TRUE(QDir().mkdir(World().SettingsFile()));
    const RunResult result = Backup();
    EXPECT_TRUE(result.Ended(IncompleteStatus)) << result.Describe();
    EXPECT_TRUE(result.errors.contains(World().SettingsFile() + QStringLiteral(" is a folder")))
        << result.Describe();
}

// A Windows folder that cannot be read: the report names every group of it, single-name groups
// (the registry files) as well as the wildcard ones.
TEST_F(Hardening, an_unreadable_windows_folder_fails_every_one_of_its_groups) {
    if (!World().CanRunAsNobody()) GTEST_SKIP() << "the programs cannot be run as nobody here";
    ASSERT_EQ(::chmod(Host(World().Drive() + QStringLiteral("/WINDOWS")).constData(), 0), 0);
    RunOptions options = UnattendedRun();
    options.wrapper = NobodyWrapper();
    const RunResult result = World().Stowix(options);
    ::chmod(Host(World().Drive() + QStringLiteral("/WINDOWS")).constData(), 0755);
    EXPECT_TRUE(result.Ended(IncompleteStatus)) << result.Describe();
    for (const char* group : {"System.Dat", "System.Da0", "User.Dat", "User.Da0", "*.Bat", "*.Com",
                              "*.Grp", "*.Ini", "*.Pif", "*.Pwl", "ShellIconCache", "TTFcache"})
        EXPECT_TRUE(result.errors.contains(QStringLiteral("C:\\WINDOWS\\") + QLatin1String(group)))
            << group << result.Describe();
}

// On a read-only drive without a backup folder the report says the drive is read-only, not
// that some folder is missing.
TEST(ReadOnlyDrive, a_backup_on_a_read_only_drive_says_so) {
    FaultWorld world;
    if (!world.CanMountReadOnly()) GTEST_SKIP() << "no mount namespace can be made here";
    RunOptions options = UnattendedRun();
    options.wrapper = ReadOnlyMountWrapper(world.Drive());
    const RunResult result = world.Stowix(options);
    EXPECT_TRUE(result.Ended(IncompleteStatus)) << result.Describe();
    EXPECT_TRUE(result.errors.contains(QLatin1String("Read-only file system")))
        << result.Describe();
    EXPECT_FALSE(result.errors.contains(QLatin1String("No such file"))) << result.Describe();
}

class WindowHardening : public Hardening {
protected:
    void SetUp() override {
        STOWIX_NEEDS_DISPLAY();
        Hardening::SetUp();
    }
};

// Deleting a set never follows a link: a set that is a link (here to the Windows folder) goes as
// a link, and a link in a set goes without its target's attributes being touched.
TEST_F(WindowHardening, deleting_a_set_never_follows_a_link) {
    ASSERT_EQ(::symlink("../WINDOWS", Host(World().BackupRoot() + "/linked set").constData()), 0);
    ASSERT_TRUE(QDir().mkdir(World().BackupRoot() + QStringLiteral("/holds a link")));
    ASSERT_EQ(::symlink("../../IO.SYS", Host(SetFile("holds a link", "IO.SYS")).constData()), 0);
    Remember();
    const RunResult rootBefore = Dir(QStringLiteral("C:\\"));

    for (const char* set : {"linked set", "holds a link"}) {
        SCOPED_TRACE(set);
        RunOptions options;
        options.robot = FaultWorld::DeleteSteps(QLatin1String(set));
        const RunResult result = World().Stowix(options);
        EXPECT_TRUE(result.Ended(Done)) << result.Describe();
        const QString path = World().BackupRoot() + u'/' + QLatin1String(set);
        EXPECT_FALSE(QFileInfo::exists(path) || IsLink(path)) << result.Describe();
    }
    const QStringList changed = ChangedFiles(original, TakeSnapshot(World().Drive()), QString(),
                                             {QStringLiteral("Stowix/")});
    EXPECT_TRUE(changed.isEmpty()) << changed.join(u'\n').toStdString();
    EXPECT_EQ(Dir(QStringLiteral("C:\\")).output, rootBefore.output) << "attributes changed";
}

// A kill anywhere in the staging of a restore, while an earlier restore's boot script is still
// armed: the next start finds a SYSTEM.DAT and a USER.DAT of one set, never one of each.
TEST_F(WindowHardening, a_restore_killed_while_staging_never_leaves_a_mixed_registry) {
    const QString windows = World().Drive() + QStringLiteral("/WINDOWS");
    // A second set whose registry differs from the older one's: sound files of another size,
    // since the restore reads a set's registry whole before it goes on.
    const struct {
        const char* name;
        tools::RegistryKeySpec tree;
    } registries[] = {{"/SYSTEM.DAT", tools::Windows98SystemTree()},
                      {"/USER.DAT", tools::Windows98UserTree()}};
    for (const auto& registry : registries) {
        const QString path = windows + QLatin1String(registry.name);
        const qsizetype size = QFileInfo(path).size() + 64 * 1024;
        WriteHostFile(Host(path), tools::WriteRegistryFile(registry.tree, size).bytes);
    }
    ASSERT_TRUE(Backup().Ended(Done));
    const QString second = SetAside();
    const auto pairOf = [](const Snapshot& drive, const QString& folder) {
        return QPair<FileState, FileState>(drive.value(folder + QStringLiteral("/SYSTEM.DAT")),
                                           drive.value(folder + QStringLiteral("/USER.DAT")));
    };
    const auto olderPair = pairOf(original, QStringLiteral("Stowix/") + older);
    const auto secondPair = pairOf(original, QStringLiteral("Stowix/") + second);
    ASSERT_NE(olderPair.first, secondPair.first);
    ASSERT_NE(olderPair.second, secondPair.second);

    // What the older set's restore left armed: its pair staged, and the script.
    const auto armOlder = [&] {
        for (const char* name : {"/SYSTEM.DAT", "/USER.DAT"}) {
            const QString staged = World().BackupRoot() + QLatin1String(name);
            QFile::remove(staged);
            ASSERT_TRUE(
                QFile::copy(World().BackupRoot() + u'/' + older + QLatin1String(name), staged));
        }
        WriteHostFile(Host(windows + QStringLiteral("/WinStart.Bat")),
                      BootScript(QStringLiteral("C:\\WINDOWS")));
    };
    armOlder();
    Faults counting;
    counting.countFile = World().Root() + QStringLiteral("/count");
    counting.killPrefix = World().BackupRoot();
    ASSERT_TRUE(Restore(second, counting).Ended(Done));
    QFile countFile(counting.countFile);
    ASSERT_TRUE(countFile.open(QIODevice::ReadOnly));
    const long long changes = countFile.readAll().trimmed().toLongLong();
    ASSERT_GT(changes, 4);

    // The kill points lie inside the run: each later run starts beside the undo sets the runs
    // before it left, and may make a change or so fewer than the counted one, so the count's
    // very last change is no point that every run reaches.
    const long long step = std::max<long long>(1, changes / 10);
    for (long long at = 1; at < changes; at += step) {
        SCOPED_TRACE(at);
        armOlder();
        Faults kill;
        kill.killPrefix = World().BackupRoot();
        kill.killAt = at;
        const RunResult killed = Restore(second, kill);
        EXPECT_TRUE(killed.killed) << killed.Describe();
        const RunResult boot = World().Boot();
        EXPECT_FALSE(boot.killed || boot.timedOut) << boot.Describe();
        const Snapshot after = TakeSnapshot(World().Drive());
        const QPair<FileState, FileState> started = pairOf(after, QStringLiteral("WINDOWS"));
        EXPECT_TRUE(started == olderPair || started == secondPair)
            << "the next start finds a registry of two sets";
    }
}

TEST_F(WindowHardening, a_set_without_both_registry_files_stages_neither_and_says_so) {
    const QString set = QStringLiteral("half a registry");
    ASSERT_TRUE(QDir().mkdir(World().BackupRoot() + u'/' + set));
    WriteHostFile(Host(SetFile(set, "SYSTEM.DAT")),
                  tools::WriteRegistryFile(tools::Windows98SystemTree()).bytes);
    WriteHostFile(Host(SetFile(set, "WIN.INI")), "[windows]\r\n");
    const RunResult result = Restore(set);
    EXPECT_TRUE(result.Ended(Done)) << result.Describe();
    EXPECT_TRUE(result.errors.contains(QLatin1String("holds no USER.DAT"))) << result.Describe();
    EXPECT_FALSE(QFileInfo::exists(World().BackupRoot() + QStringLiteral("/SYSTEM.DAT")));
    const RunResult boot = World().Boot();
    EXPECT_TRUE(boot.Ended(Done)) << boot.Describe();
    EXPECT_EQ(TakeSnapshot(World().Drive()).value(QStringLiteral("WINDOWS/SYSTEM.DAT")),
              original.value(QStringLiteral("WINDOWS/SYSTEM.DAT")));
}

TEST_F(WindowHardening, a_windows_folder_on_another_drive_is_flushed_too) {
    const QString driveD = World().Root() + QStringLiteral("/d");
    ASSERT_TRUE(QDir().mkpath(driveD + QStringLiteral("/WIN98")));
    RunOptions options;
    options.robot = FaultWorld::RestoreSteps(older);
    options.faults.syncLog = World().Root() + QStringLiteral("/synced");
    options.environment = {{QStringLiteral("STOWIX_DRIVE_D"), driveD},
                           {QStringLiteral("STOWIX_WINDOWS_FOLDER"), QStringLiteral("D:\\WIN98")}};
    const RunResult result = World().Stowix(options);
    EXPECT_FALSE(result.killed || result.timedOut) << result.Describe();
    // The boot script lies in the Windows folder, on drive D:.
    EXPECT_TRUE(QFileInfo::exists(driveD + QStringLiteral("/WIN98/WinStart.Bat")));
    QFile log(options.faults.syncLog);
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    const QStringList synced = QString::fromLocal8Bit(log.readAll()).split(u'\n');
    EXPECT_TRUE(synced.contains(driveD)) << synced.join(u'\n').toStdString();
    EXPECT_TRUE(synced.contains(World().Drive())) << synced.join(u'\n').toStdString();
}

// The restart request returns at once: the command runs on in a session of its own without
// standard input while the program has already ended.
TEST_F(WindowHardening, the_restart_command_runs_detached_and_is_not_waited_for) {
    const QString flag = World().Root() + QStringLiteral("/go on");
    const QString seen = World().Root() + QStringLiteral("/seen");
    const QString done = World().Root() + QStringLiteral("/done");
    const QString command =
        QStringLiteral(
            "readlink /proc/self/fd/0 > '%1'; cut -d' ' -f6 /proc/$$/stat >> '%1'; "
            "n=0; while [ ! -e '%2' ] && [ $n -lt 200 ]; do sleep 0.1; n=$((n+1)); done; "
            "if [ -e '%2' ]; then echo restarted; else echo gave up; fi > '%3'")
            .arg(seen, flag, done);
    RunOptions options;
    options.robot = {
        QStringLiteral("click Form1.Command2"), QStringLiteral("open C:\\Stowix\\") + older,
        QStringLiteral("answer Yes"),           QStringLiteral("answer Yes"),
        QStringLiteral("click Form2.Command1"), QStringLiteral("click Form1.Command3")};
    options.environment = {{QStringLiteral("STOWIX_RESTART_COMMAND"), command}};
    const RunResult result = World().Stowix(options);
    EXPECT_TRUE(result.Ended(Done)) << result.Describe();
    EXPECT_FALSE(QFileInfo::exists(done)) << "the program waited for the command";

    WriteHostFile(Host(flag), "");
    for (int tries = 0; tries < 200 && !QFileInfo::exists(done); ++tries) QThread::msleep(100);
    QFile doneFile(done);
    ASSERT_TRUE(doneFile.open(QIODevice::ReadOnly)) << "the command never ran";
    EXPECT_EQ(doneFile.readAll(), "restarted\n");
    QFile seenFile(seen);
    ASSERT_TRUE(seenFile.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromLocal8Bit(seenFile.readAll()).split(u'\n');
    ASSERT_GE(lines.size(), 2);
    EXPECT_EQ(lines.at(0), QStringLiteral("/dev/null"));
    EXPECT_NE(lines.at(1).toLongLong(), qint64(::getsid(0))) << "the command shares the session";
}

// The window is centred with its frame. The offscreen platform gives windows a frame as soon as
// they have their platform window, as a window manager's decorations do.
TEST_F(WindowHardening, the_window_is_centred_with_its_frame) {
    RunOptions options;
    options.robot = {QStringLiteral("geometry Form1"), QStringLiteral("click Form1.Command3")};
    options.environment = {{QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen")}};
    const RunResult result = World().Stowix(options);
    EXPECT_TRUE(result.Ended(Done)) << result.Describe();
    const QRegularExpression line(QStringLiteral(
        "geometry Form1 frame=(-?\\d+),(-?\\d+),(\\d+),(\\d+) screen=(\\d+),(\\d+)"));
    const QRegularExpressionMatch found = line.match(result.errors);
    ASSERT_TRUE(found.hasMatch()) << result.Describe();
    const auto at = [&found](int group) { return found.captured(group).toInt(); };
    EXPECT_NE(at(3), 0);
    EXPECT_LE(std::abs(at(1) - (at(5) - at(3)) / 2), 1) << result.Describe();
    EXPECT_LE(std::abs(at(2) - (at(6) - at(4)) / 2), 1) << result.Describe();
}

TEST_F(WindowHardening, the_revision_label_keeps_its_left_edge) {
    RunOptions options;
    options.robot = {QStringLiteral("geometry Form1.Label4"),
                     QStringLiteral("click Form1.Command3")};
    const RunResult result = World().Stowix(options);
    EXPECT_TRUE(result.Ended(Done)) << result.Describe();
    // 5400 twips at 15 twips to the pixel.
    EXPECT_TRUE(result.errors.contains(QLatin1String("geometry Form1.Label4 360,")))
        << result.Describe();
}

}  // namespace
}  // namespace stowix::test
