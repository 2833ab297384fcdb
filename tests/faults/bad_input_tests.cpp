// Input that the program must take in its stride, given through its real windows: comments of
// every awkward kind, backup sets that no backup made (subfolders, links, names that are not
// UTF-8, ten thousand files), a drive whose names are in mixed case, and AutoExit values the
// program never writes. Each ends as it should, never in a crash or a hang.

#include "fault_fixture.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>

#include <unistd.h>

namespace stowix::test {
namespace {

class BadInput : public FaultTest {
protected:
    void SetUp() override {
        STOWIX_NEEDS_DISPLAY();
        Start();
    }

    RunResult Drive(const QStringList& steps) {
        RunOptions options;
        options.robot = steps;
        return World().Stowix(options);
    }

    // Makes a set folder by hand, as no backup would, with these host files (name, bytes).
    QString MakeSet(const QString& name, const QList<QPair<QByteArray, QByteArray>>& files) {
        const QByteArray folder = QFile::encodeName(World().BackupRoot() + u'/' + name);
        EXPECT_TRUE(QDir().mkpath(QFile::decodeName(folder)));
        for (const auto& [fileName, bytes] : files) {
            const QString path = QFile::decodeName(folder + '/' + fileName);
            QDir().mkpath(QFileInfo(path).path());
            QFile file(path);
            EXPECT_TRUE(file.open(QIODevice::WriteOnly)) << fileName.toStdString();
            file.write(bytes);
        }
        return name;
    }

    QString HostPath(const QByteArray& relative) {
        return QFile::decodeName(QFile::encodeName(World().Drive()) + '/' + relative);
    }
};

// The comment is tried as a folder name; what Windows refuses is refused, everything else ends
// the next set's name exactly as typed, cut to 32 characters and never inside a character.
TEST_F(BadInput, comments_of_every_kind_end_the_set_name_or_are_refused) {
    const QString emoji = QString::fromUtf8("\xF0\x9F\x98\x80");  // outside the BMP
    const struct {
        QString typed;
        bool accepted;
        QString suffix;  // what the set's name ends with, after the stamp
    } cases[] = {
        {"a<b", false, ""},
        {"a>b", false, ""},
        {"a:b", false, ""},
        {"a\"b", false, ""},
        {"a/b", false, ""},
        {"a\\b", false, ""},
        {"a|b", false, ""},
        {"a?b", false, ""},
        {"a*b", false, ""},
        {"tab\there", false, ""},
        {"plus+sign & co. ltd", true, " plus+sign & co. ltd"},
        // Names Windows cannot hold although the host takes them: a device's name, and a name
        // that ends in a dot or a blank.
        {"CON", false, ""},
        {"nul.txt", false, ""},
        {" LPT9", false, ""},
        {"  both ends  ", false, ""},
        {"ends in a dot.", false, ""},
        {".", false, ""},
        {"..", false, ""},
        {"   ", false, ""},
        {"  blanks before", true, "   blanks before"},
        {QString(32, u'x'), true, " " + QString(32, u'x')},
        {QString(32, u'y') + "z", true, " " + QString(32, u'y')},
        {QString(30, u'e') + emoji, true, " " + QString(30, u'e') + emoji},
        {QString(31, u'f') + emoji, true, " " + QString(31, u'f')},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.typed.toStdString());
        QStringList steps{QStringLiteral("trigger AddCommentMenu"),
                          QStringLiteral("type ") + c.typed};
        if (!c.accepted) steps += {QStringLiteral("answer Ok"), QStringLiteral("cancel")};
        steps += {QStringLiteral("click Form1.Command1"), QStringLiteral("click Form1.Command3")};
        const RunResult result = Drive(steps);
        EXPECT_TRUE(result.Ended(0)) << result.Describe();
        EXPECT_EQ(result.errors.contains(QLatin1String("box [DOS Lives!]")), !c.accepted)
            << result.Describe();

        const QString made = World().NewSet(setsBefore);
        ASSERT_FALSE(made.isEmpty()) << result.Describe();
        // The stamp is the date and time; the comment follows it unchanged.
        EXPECT_TRUE(made.endsWith(c.suffix)) << made.toStdString();
        const QString stamp = made.left(made.size() - c.suffix.size());
        EXPECT_TRUE(
            QRegularExpression(QStringLiteral("^[^ ].*[0-9]( [AP]M)?$")).match(stamp).hasMatch())
            << "stamp: [" << stamp.toStdString() << "]";
        EXPECT_EQ(World().Setting(QStringLiteral("Info"), QStringLiteral("LastBackup")),
                  QStringLiteral("C:\\Stowix\\") + made);
        const QStringList problems =
            SetProblems(TakeSnapshot(World().Drive()), made, sources, true);
        EXPECT_TRUE(problems.isEmpty()) << problems.join(u'\n').toStdString();
        // The trial folder is gone again.
        if (c.accepted) {
            EXPECT_FALSE(QFileInfo::exists(World().Drive() + u'/' + c.suffix));
        }
        SetAside();
    }
}

// Names with blanks at their start and characters outside the BMP are restored from and deleted
// like any other set.
TEST_F(BadInput, sets_with_awkward_comments_are_restored_and_deleted) {
    const QString emoji = QString::fromUtf8("\xF0\x9F\x98\x80");
    for (const QString& comment : QStringList{QStringLiteral("  blanks before"), emoji + " x"}) {
        SCOPED_TRACE(comment.toStdString());
        const RunResult made =
            Drive({QStringLiteral("trigger AddCommentMenu"), QStringLiteral("type ") + comment,
                   QStringLiteral("click Form1.Command1"), QStringLiteral("click Form1.Command3")});
        ASSERT_TRUE(made.Ended(0)) << made.Describe();
        const QString set = World().NewSet(setsBefore);
        ASSERT_TRUE(set.endsWith(u' ' + comment)) << set.toStdString();

        const RunResult restored = Restore(set);
        EXPECT_TRUE(restored.Ended(0)) << restored.Describe();
        EXPECT_FALSE(restored.errors.contains(QLatin1String("Restore incomplete")))
            << restored.Describe();
        EXPECT_EQ(World().Setting(QStringLiteral("Info"), QStringLiteral("LastRestore")),
                  QStringLiteral("C:\\Stowix\\") + set);

        const RunResult deleted = Drive(FaultWorld::DeleteSteps(set));
        EXPECT_TRUE(deleted.Ended(0)) << deleted.Describe();
        EXPECT_FALSE(QFileInfo::exists(World().BackupRoot() + u'/' + set));
        EXPECT_EQ(World().Setting(QStringLiteral("Info"), QStringLiteral("LastDelete")),
                  QStringLiteral("C:\\Stowix\\") + set);
        Remember();
    }
}

// A set's subfolder is no part of the set: the restore passes it by, and the delete removes the
// set's files but leaves the folder with its subfolder, and says so.
TEST_F(BadInput, a_set_with_a_subfolder_is_restored_flat_and_kept_by_the_delete) {
    const QString set = MakeSet(QStringLiteral("with subfolder"),
                                {{"WIN.INI", "[windows]\r\n"}, {"SUB/INNER.INI", "[inner]\r\n"}});
    Remember();
    const RunResult restored = Restore(set);
    EXPECT_TRUE(restored.Ended(0)) << restored.Describe();
    const Snapshot after = TakeSnapshot(World().Drive());
    EXPECT_EQ(after.value(QStringLiteral("WINDOWS/WIN.INI")), StateOf("[windows]\r\n"));
    EXPECT_FALSE(after.contains(QStringLiteral("WINDOWS/INNER.INI")));

    const RunResult deleted = Drive(FaultWorld::DeleteSteps(set));
    EXPECT_TRUE(deleted.Ended(0)) << deleted.Describe();
    EXPECT_TRUE(
        QFileInfo::exists(World().BackupRoot() + QStringLiteral("/with subfolder/SUB/INNER.INI")));
    EXPECT_EQ(World().Setting(QStringLiteral("Info"), QStringLiteral("LastDelete")), QString());
}

// Links in a set: one to a file of the drive is restored as that file's bytes; one that leads
// out of the drive, one that loops and one that leads nowhere are never followed, and the
// files they name are never touched. Deleting the set removes the links, never their targets.
TEST_F(BadInput, links_in_a_set_never_reach_outside_the_drive) {
    const QString outside = World().Root() + QStringLiteral("/outside.ini");
    {
        QFile file(outside);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("[outside the drive]\r\n");
    }
    const QString set = MakeSet(QStringLiteral("with links"), {{"PLAIN.INI", "[plain]\r\n"}});
    const QByteArray folder =
        QFile::encodeName(World().BackupRoot() + QStringLiteral("/with links/"));
    auto link = [&folder](const QByteArray& target, const char* name) {
        return ::symlink(target.constData(), QByteArray(folder + name).constData());
    };
    ASSERT_EQ(link("../../WINDOWS/SYSTEM.INI", "INSIDE.INI"), 0);
    ASSERT_EQ(link(QFile::encodeName(outside), "OUTSIDE.INI"), 0);
    ASSERT_EQ(link("../../../outside.ini", "CLIMBS.INI"), 0);
    ASSERT_EQ(link("LOOP.INI", "LOOP.INI"), 0);
    ASSERT_EQ(link("NOWHERE.INI", "DANGLING.INI"), 0);
    Remember();

    const RunResult restored = Restore(set);
    EXPECT_TRUE(restored.Ended(0)) << restored.Describe();
    const Snapshot after = TakeSnapshot(World().Drive());
    EXPECT_EQ(after.value(QStringLiteral("WINDOWS/PLAIN.INI")), StateOf("[plain]\r\n"));
    EXPECT_EQ(after.value(QStringLiteral("WINDOWS/INSIDE.INI")),
              original.value(QStringLiteral("WINDOWS/SYSTEM.INI")));
    for (const char* name : {"OUTSIDE.INI", "CLIMBS.INI", "LOOP.INI", "DANGLING.INI"})
        EXPECT_FALSE(after.contains(QStringLiteral("WINDOWS/") + name)) << name;

    const RunResult deleted = Drive(FaultWorld::DeleteSteps(set));
    EXPECT_TRUE(deleted.Ended(0)) << deleted.Describe();
    EXPECT_FALSE(QFileInfo::exists(World().BackupRoot() + QStringLiteral("/with links")))
        << deleted.Describe();
    QFile target(outside);
    ASSERT_TRUE(target.open(QIODevice::ReadOnly));
    EXPECT_EQ(target.readAll(), "[outside the drive]\r\n");
    EXPECT_TRUE(QFileInfo::exists(World().Drive() + QStringLiteral("/WINDOWS/SYSTEM.INI")));
}

// Names that are not UTF-8 reach the Windows folder with the very same bytes, and go with the
// set when it is deleted.
TEST_F(BadInput, names_that_are_not_utf8_round_trip) {
    const QByteArray latin1 = "CAF\xC9.INI";
    const QByteArray broken = "BAD\xFF\xFE.INI";
    const QString set =
        MakeSet(QStringLiteral("not utf8"), {{latin1, "[latin-1]\r\n"}, {broken, "[broken]\r\n"}});
    Remember();
    const RunResult restored = Restore(set);
    EXPECT_TRUE(restored.Ended(0)) << restored.Describe();
    EXPECT_FALSE(restored.errors.contains(QLatin1String("Restore incomplete")))
        << restored.Describe();
    for (const QByteArray& name : {latin1, broken}) {
        QFile file(HostPath("WINDOWS/" + name));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << "not restored under its own bytes";
        EXPECT_TRUE(file.readAll().startsWith('['));
    }

    const RunResult deleted = Drive(FaultWorld::DeleteSteps(set));
    EXPECT_TRUE(deleted.Ended(0)) << deleted.Describe();
    EXPECT_FALSE(QFileInfo::exists(World().BackupRoot() + QStringLiteral("/not utf8")));
}

TEST_F(BadInput, a_set_of_ten_thousand_files_is_restored_and_deleted) {
    QList<QPair<QByteArray, QByteArray>> files;
    for (int i = 0; i < 10'000; ++i)
        files.append({QByteArray("F") + QByteArray::number(i).rightJustified(7, '0') + ".INI",
                      QByteArray("[file ") + QByteArray::number(i) + "]\r\n"});
    const QString set = MakeSet(QStringLiteral("ten thousand"), files);
    Remember();

    const RunResult restored = Restore(set);
    EXPECT_TRUE(restored.Ended(0)) << restored.Describe();
    EXPECT_FALSE(restored.errors.contains(QLatin1String("Restore incomplete")))
        << restored.Describe();
    const QStringList restoredNames =
        QDir(World().Drive() + QStringLiteral("/WINDOWS")).entryList({QStringLiteral("F*.INI")});
    EXPECT_EQ(restoredNames.size(), 10'000);

    const RunResult deleted = Drive(FaultWorld::DeleteSteps(set));
    EXPECT_TRUE(deleted.Ended(0)) << deleted.Describe();
    EXPECT_FALSE(QFileInfo::exists(World().BackupRoot() + QStringLiteral("/ten thousand")));
    EXPECT_EQ(World().Setting(QStringLiteral("Info"), QStringLiteral("LastDelete")),
              QStringLiteral("C:\\Stowix\\ten thousand"));
}

// A drive as Wine or a copied disk may hold it: names in mixed case. The backup finds every file
// without regard to case; the restore writes back onto the names as stored, never beside them.
TEST(MixedCaseDrive, a_backup_and_a_restore_keep_to_the_names_as_stored) {
    STOWIX_NEEDS_DISPLAY();
    FaultWorld world;
    const QString drive = world.Drive();
    ASSERT_TRUE(QDir(drive).rename(QStringLiteral("WINDOWS"), QStringLiteral("Windows")));
    const struct {
        const char* from;
        const char* to;
    } renames[] = {
        {"AUTOEXEC.BAT", "AutoExec.bat"},         {"IO.SYS", "Io.Sys"},
        {"Windows/WIN.INI", "Windows/win.ini"},   {"Windows/SYSTEM.DAT", "Windows/System.Dat"},
        {"Windows/USER.DAT", "Windows/user.dat"}, {"Windows/TTFCACHE", "Windows/TTFCache"},
    };
    for (const auto& r : renames)
        ASSERT_TRUE(
            QFile::rename(drive + u'/' + QLatin1String(r.from), drive + u'/' + QLatin1String(r.to)))
            << r.from;
    const Snapshot before = TakeSnapshot(drive);
    const SetSources sources = BackupSources(before, QStringLiteral("Windows"));

    const RunResult backup = world.Stowix(UnattendedRun());
    ASSERT_TRUE(backup.Ended(0)) << backup.Describe();
    const QString set = world.NewSet({});
    const QStringList problems = SetProblems(TakeSnapshot(drive), set, sources, true);
    EXPECT_TRUE(problems.isEmpty()) << problems.join(u'\n').toStdString();

    // The user changes two files; the restore brings them back under their own names.
    for (const char* name : {"Windows/win.ini", "AutoExec.bat"}) {
        QFile file(drive + u'/' + QLatin1String(name));
        ASSERT_TRUE(file.open(QIODevice::Append));
        file.write("changed");
    }
    const Snapshot changed = TakeSnapshot(drive);
    RunOptions options;
    options.robot = FaultWorld::RestoreSteps(set);
    const RunResult restored = world.Stowix(options);
    EXPECT_TRUE(restored.Ended(0)) << restored.Describe();
    const Snapshot after = TakeSnapshot(drive);
    const QStringList restoreProblems =
        RestoreProblems(changed, after,
                        RestoreOutcomes(changed, set, QStringLiteral("Windows"),
                                        BootScript(QStringLiteral("C:\\Windows"))),
                        true);
    EXPECT_TRUE(restoreProblems.isEmpty()) << restoreProblems.join(u'\n').toStdString();
    for (const QString& folder : {QString(), QStringLiteral("Windows")}) {
        QStringList names = QDir(drive + u'/' + folder).entryList(QDir::Files | QDir::Hidden);
        for (QString& name : names) name = name.toUpper();
        names.sort();
        EXPECT_EQ(names.removeDuplicates(), 0)
            << "two names for one file in " << folder.toStdString();
    }
}

// AutoExit as a hand-edited file may hold it: only a value that reads as 1 checks the box, and
// the program starts whatever the text is.
TEST_F(BadInput, autoexit_values_the_program_never_writes_are_read_safely) {
    const struct {
        const char* stored;  // the line's value as typed into the file
        bool checked;
    } cases[] = {
        {"1", true},    {"0", false},
        {"2", false},   {"-1", false},
        {" 1", true},   {"+1", true},
        {"1abc", true}, {"0.51", true},
        {"1.4", true},  {"1.5", false},
        {"0.5", false}, {"True", false},
        {"", false},    {"99999999999999999999", false},
        {"1, 2", true}, {"\"1\"", true},
        {"yes", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string("AutoExit=") + c.stored);
        QFile file(World().SettingsFile());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(QByteArray("[Preferences]\nAutoExit=") + c.stored + "\n");
        file.close();

        const RunResult result =
            Drive({QStringLiteral("report Form1.Check1"), QStringLiteral("click Form1.Command3")});
        EXPECT_TRUE(result.Ended(0)) << result.Describe();
        EXPECT_TRUE(result.errors.contains(
            QStringLiteral("robot: Form1.Check1 checked=%1").arg(int(c.checked))))
            << result.Describe();
    }
}

}  // namespace
}  // namespace stowix::test
