// Sets that tell the truth, through the real programs: the root's start-up files kept apart from
// the Windows folder's files of the same names across a backup, a restore through the window,
// an edit and the next backup; a drive without a registry and a group file that is a pipe or a
// socket are incomplete backups; a set left half done by a full disk, an unreadable file or a
// restore killed while it keeps the drive's configuration is incomplete for stowix-check and
// keeps no place in stowix-prune.

#include "fault_fixture.h"

#include <QFile>

#include <cstring>
#include <functional>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace stowix::test {
namespace {

class SetTruth : public FaultTest {
public:
    bool Begin(FaultWorld::DriveOptions options = {}) {
        Start(options);
        return World().MountError().isEmpty();
    }

    QString Host(const QString& relative) { return World().Drive() + u'/' + relative; }

    QByteArray Read(const QString& relative) {
        QFile file(Host(relative));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(missing)");
    }

    void Write(const QString& relative, const QByteArray& bytes) {
        QFile file(Host(relative));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            << relative.toStdString();
        file.write(bytes);
    }

    // Runs a tool of the build over this world's drive.
    RunResult Run(const QString& tool, const QStringList& arguments) {
        RunOptions options;
        options.arguments = arguments;
        return World().Tool(tool, options);
    }

    RunResult Check(const QString& setName) {
        return Run(QStringLiteral("stowix-check"), {QStringLiteral("C:\\Stowix\\") + setName});
    }

    // The settings forget the last backup (another user's, a drive copied to another machine):
    // only what the sets themselves say protects them then.
    void ForgetLastBackup() {
        World().WriteSetting(QStringLiteral("Info"), QStringLiteral("LastBackup"), QString());
    }

    // A backup that must succeed; the new set's name.
    QString GoodBackup() {
        const QStringList before = World().SetNames();
        const RunResult made = Backup();
        EXPECT_TRUE(made.Ended(0)) << made.Describe();
        return World().NewSet(before);
    }

    bool HasSet(const QString& name) { return World().SetNames().contains(name); }
};

// ---- The root's start-up files --------------------------------------------------------------

struct ShadowCase {
    const char* what;
    bool windowsCopy;  // the Windows folder holds an AUTOEXEC.BAT of its own
    bool madeBefore;   // the set is made as before records: no record, one flat AUTOEXEC.BAT
};

TEST_F(SetTruth, the_roots_start_up_files_go_back_only_where_they_came_from) {
    STOWIX_NEEDS_DISPLAY();
    const ShadowCase cases[] = {
        {"a Windows folder with an AUTOEXEC.BAT of its own", true, false},
        {"a Windows folder without one", false, false},
        {"a set made before records restores as it did", false, true},
    };
    const QByteArray first = "REM the root's, as backed up\r\n";
    const QByteArray own = "REM the Windows folder's own\r\n";
    const QByteArray edited = "REM the root's, edited since\r\n";
    for (const ShadowCase& test : cases) {
        SCOPED_TRACE(test.what);
        if (!Begin()) GTEST_SKIP() << World().MountError().toStdString();
        Write(QStringLiteral("AUTOEXEC.BAT"), first);
        QFile::remove(Host(QStringLiteral("WINDOWS/AUTOEXEC.BAT")));
        if (test.windowsCopy) Write(QStringLiteral("WINDOWS/AUTOEXEC.BAT"), own);

        const QString set = GoodBackup();
        ASSERT_FALSE(set.isEmpty());
        const QString inSet = QStringLiteral("Stowix/") + set + u'/';
        EXPECT_EQ(Read(inSet + QStringLiteral("AUTOEXEC.BAT")), first);
        EXPECT_EQ(Read(inSet + QStringLiteral("AUTOEXEC.BAT.WIN")),
                  test.windowsCopy ? own : QByteArray("(missing)"));
        if (test.madeBefore) {
            ASSERT_TRUE(QFile::remove(Host(inSet + QStringLiteral("STOWIX.SET"))));
        }

        Write(QStringLiteral("AUTOEXEC.BAT"), "REM broken by an installer\r\n");
        const RunResult restored = Restore(set);
        ASSERT_TRUE(restored.Ended(0)) << restored.Describe();
        EXPECT_EQ(Read(QStringLiteral("AUTOEXEC.BAT")), first);
        // Never a copy of the root's in the Windows folder, but from a set that cannot tell.
        EXPECT_EQ(Read(QStringLiteral("WINDOWS/AUTOEXEC.BAT")), test.windowsCopy ? own
                                                                : test.madeBefore
                                                                    ? first
                                                                    : QByteArray("(missing)"));

        // The user's edit is what the next backup keeps, whatever the Windows folder holds.
        Write(QStringLiteral("AUTOEXEC.BAT"), edited);
        const QString next = GoodBackup();
        ASSERT_FALSE(next.isEmpty());
        EXPECT_EQ(Read(QStringLiteral("Stowix/") + next + QStringLiteral("/AUTOEXEC.BAT")), edited);
    }
}

// ---- No registry, and files that are no files ------------------------------------------------

void MakePipe(const QString& path) { ASSERT_EQ(::mkfifo(QFile::encodeName(path), 0644), 0); }

void MakeSocket(const QString& path) {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(fd, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const QByteArray name = QFile::encodeName(path);
    ASSERT_LT(size_t(name.size()), sizeof address.sun_path) << "the world's path is too long";
    std::memcpy(address.sun_path, name.constData(), size_t(name.size()));
    EXPECT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ::close(fd);
}

const QStringList RegistryFiles{
    QStringLiteral("WINDOWS/SYSTEM.DAT"), QStringLiteral("WINDOWS/USER.DAT"),
    QStringLiteral("WINDOWS/SYSTEM.DA0"), QStringLiteral("WINDOWS/USER.DA0")};

struct MissingCase {
    const char* what;
    std::function<void(SetTruth&)> arrange;
    const char* told;  // what the error output says
};

TEST_F(SetTruth, a_drive_without_a_registry_or_with_a_pipe_in_a_group_is_an_incomplete_backup) {
    const auto each = [](void (*make)(const QString&)) {
        return [make](SetTruth& test) {
            for (const QString& file : RegistryFiles) {
                QFile::remove(test.Host(file));
                if (make) make(test.Host(file));
            }
        };
    };
    const MissingCase cases[] = {
        {"the registry gone", each(nullptr), "the registry was not found"},
        {"the registry files pipes", each(MakePipe), "the registry was not found"},
        {"a pipe among the INI files",
         [](SetTruth& test) { MakePipe(test.Host(QStringLiteral("WINDOWS/PIPE.INI"))); },
         "PIPE.INI"},
        {"a socket among the INI files",
         [](SetTruth& test) { MakeSocket(test.Host(QStringLiteral("WINDOWS/SOCKET.INI"))); },
         "SOCKET.INI"},
    };
    for (const MissingCase& test : cases) {
        SCOPED_TRACE(test.what);
        if (!Begin()) GTEST_SKIP() << World().MountError().toStdString();
        const QString good = GoodBackup();
        ASSERT_FALSE(good.isEmpty());
        test.arrange(*this);
        const QStringList before = World().SetNames();

        const RunResult result = Backup();
        EXPECT_TRUE(result.Ended(IncompleteStatus)) << result.Describe();
        EXPECT_TRUE(result.errors.contains(QLatin1String(test.told))) << result.Describe();
        EXPECT_EQ(World().Setting(QStringLiteral("Info"), QStringLiteral("LastBackup")),
                  QStringLiteral("C:\\Stowix\\") + good);
        const QString made = World().NewSet(before);
        ASSERT_FALSE(made.isEmpty());
        const RunResult checked = Check(made);
        EXPECT_TRUE(checked.Ended(1) && checked.output.contains(QLatin1String(": incomplete: ")))
            << checked.Describe();

        const RunResult pruned = Run(QStringLiteral("stowix-prune"),
                                     {QStringLiteral("--keep-last"), QStringLiteral("1")});
        EXPECT_TRUE(pruned.Ended(0)) << pruned.Describe();
        EXPECT_TRUE(HasSet(good)) << pruned.Describe();
    }
}

// ---- Half-done sets --------------------------------------------------------------------------

struct HalfDoneCase {
    const char* what;
    Faults faults;
};

Faults FullAfter(long long bytes) {
    Faults faults;
    faults.fullAfterBytes = bytes;
    return faults;
}

Faults Unreadable(const char* suffix) {
    Faults faults;
    faults.unreadableSuffix = QString::fromLatin1(suffix);
    return faults;
}

TEST_F(SetTruth, a_half_done_backup_is_incomplete_and_prune_keeps_the_complete_set) {
    const HalfDoneCase cases[] = {
        {"a disk that fills up inside SYSTEM.DAT", FullAfter(1'500'000)},
        {"a disk that fills up after the first files", FullAfter(100'000)},
        {"a file that cannot be read", Unreadable("/WINDOWS/WIN.INI")},
    };
    for (const HalfDoneCase& test : cases) {
        SCOPED_TRACE(test.what);
        if (!Begin()) GTEST_SKIP() << World().MountError().toStdString();
        const QString complete = GoodBackup();
        const QStringList before = World().SetNames();
        const RunResult broken = Backup(test.faults);
        ASSERT_TRUE(broken.Ended(IncompleteStatus)) << broken.Describe();
        const QString half = World().NewSet(before);
        ASSERT_FALSE(half.isEmpty());

        const RunResult checked = Check(half);
        EXPECT_TRUE(checked.Ended(1) && checked.output.contains(QLatin1String(": incomplete: ")))
            << checked.Describe();
        EXPECT_TRUE(Check(complete).Ended(0));

        ForgetLastBackup();
        const QStringList keepDaily{QStringLiteral("--keep-daily"), QStringLiteral("1")};
        RunResult pruned = Run(QStringLiteral("stowix-prune"), keepDaily);
        EXPECT_TRUE(pruned.Ended(0)) << pruned.Describe();
        EXPECT_TRUE(HasSet(complete)) << pruned.Describe();
        // A complete set made since takes its place; the half-done one then goes.
        const QString later = GoodBackup();
        ForgetLastBackup();
        pruned = Run(QStringLiteral("stowix-prune"), keepDaily);
        EXPECT_TRUE(pruned.Ended(0)) << pruned.Describe();
        EXPECT_TRUE(HasSet(later)) << pruned.Describe();
        EXPECT_FALSE(HasSet(half)) << pruned.Describe();
    }
}

TEST_F(SetTruth, a_restore_killed_while_it_keeps_the_drive_leaves_an_incomplete_undo_set) {
    STOWIX_NEEDS_DISPLAY();
    if (!Begin()) GTEST_SKIP() << World().MountError().toStdString();
    const QString complete = GoodBackup();
    const QStringList before = World().SetNames();
    // A few changes into the set of the drive's configuration: its record and first copies.
    Faults kill;
    kill.killAt = 12;
    const RunResult killed = Restore(older, kill);
    ASSERT_TRUE(killed.killed) << killed.Describe();
    const QString undo = World().NewSet(before);
    ASSERT_TRUE(undo.endsWith(QLatin1String(" before restore"))) << undo.toStdString();

    const RunResult checked = Check(undo);
    EXPECT_TRUE(checked.Ended(1) && checked.output.contains(QLatin1String(": incomplete: ")))
        << checked.Describe();

    ForgetLastBackup();
    const QStringList keepLast{QStringLiteral("--keep-last"), QStringLiteral("1")};
    RunResult pruned = Run(QStringLiteral("stowix-prune"), keepLast);
    EXPECT_TRUE(pruned.Ended(0)) << pruned.Describe();
    EXPECT_TRUE(HasSet(complete) && HasSet(undo)) << pruned.Describe();
    // Once a complete set is newer, the half-done undo set is of no use and goes.
    const QString later = GoodBackup();
    ForgetLastBackup();
    pruned = Run(QStringLiteral("stowix-prune"), keepLast);
    EXPECT_TRUE(pruned.Ended(0)) << pruned.Describe();
    EXPECT_TRUE(HasSet(later)) << pruned.Describe();
    EXPECT_FALSE(HasSet(undo)) << pruned.Describe();
}

}  // namespace
}  // namespace stowix::test
