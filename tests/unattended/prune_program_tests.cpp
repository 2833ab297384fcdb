// The built stowix-prune on a real drive (a folder, and a FAT image made by mtools) holding sets
// made at chosen times, named as the backup names them, among sets with a comment, the last
// backup and the last restore, a set named under another locale, foreign files and folders, and
// links. A table of rules says which of the unattended backup's sets stay.

#include "app/qt_system.h"
#include "image/mtools_image.h"
#include "sets/backup_set_layout.h"
#include "sets/set_record.h"
#include "sets/stamp_forms.h"
#include "support/program_world.h"
#include "unattended/run_options.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>

#include <memory>

namespace stowix::test {
namespace {

// The locale the programs run in: its stamps have four-digit years ("15-06-2026 03;00;00").
const char* const StampLocale = "en_GB";

QString StampAt(const QLocale& locale, const QDateTime& time) {
    return SetStamp(locale.toString(time.date(), locale.dateFormat(QLocale::ShortFormat)),
                    locale.toString(time.time(), QtSystem::TimeFormatWithSeconds(locale)));
}

QDateTime At(int month, int day, int hour) {
    return QDateTime(QDate(2026, month, day), QTime(hour, 0));
}

QString StampAt(int month, int day, int hour, const char* locale = StampLocale) {
    return StampAt(QLocale(QString::fromLatin1(locale)), At(month, day, hour));
}

// The record a backup writes into a set made at that time in that locale.
QByteArray RecordOf(const QDateTime& made, const char* locale = StampLocale, bool complete = true) {
    const QLocale forms(QString::fromLatin1(locale));
    SetRecord record;
    record.complete = complete;
    record.made = made.toUTC();
    record.locale = forms.name();
    record.dateForm = ShortDateForm(forms);
    record.timeForm = TimeFormWithSeconds(forms);
    QByteArray text;
    for (const QString& line : SetRecordLines(record)) text += line.toLatin1() + "\r\n";
    return text;
}

// A set as a backup made it: its name, and its record (empty for a set made before records).
struct MadeSet {
    QString name;
    QByteArray record;
};

MadeSet Made(int month, int day, int hour, const QString& suffix = QString()) {
    return {StampAt(month, day, hour) + suffix, RecordOf(At(month, day, hour))};
}

// The unattended backup's sets, by letter. 2 March 2026 is a Monday.
const std::map<char, MadeSet>& Thinnable() {
    static const std::map<char, MadeSet> sets{
        {'A', Made(3, 2, 3)},
        {'B', Made(3, 2, 15)},
        {'C', Made(3, 3, 3)},
        {'D', Made(3, 9, 3)},
        {'E', Made(3, 9, 3, "(2)")},  // a second set in the same second: the
                                      // newer of the two
        {'F', Made(4, 1, 3)},
        {'G', Made(5, 31, 3)},  // a Sunday
        {'H', Made(6, 1, 3)},   // the Monday after
    };
    return sets;
}

// What must stay whatever the rules say.
const MadeSet Commented = Made(1, 1, 3, " before the driver");
const MadeSet UndoSet = Made(6, 1, 2, " before restore");
const MadeSet LastBackup = Made(1, 5, 3);
const MadeSet LastRestore = Made(1, 6, 3);
// Made before records, in another locale: "2-1-26 3;00;00 AM".
const MadeSet OtherLocale{StampAt(2, 1, 3, "en_US"), {}};
const MadeSet ForeignFolder{"Old stuff", {}};
const QStringList Files{"SYSTEM.DAT", "README.TXT"};

std::vector<MadeSet> KeptSets() {
    return {Commented, UndoSet, LastBackup, LastRestore, OtherLocale, ForeignFolder};
}

QStringList Kept() {
    QStringList names;
    for (const MadeSet& set : KeptSets()) names << set.name;
    return names;
}

// Drive C: with a backup root to fill, as a folder or as an image.
class PruneDrive {
public:
    virtual ~PruneDrive() = default;
    // A set folder holding WIN.INI, its record when given, and SYSTEM.DAT with registry.
    virtual void AddSet(const QString& name, const QByteArray& record = {},
                        bool registry = false) = 0;
    void AddSet(const MadeSet& set) { AddSet(set.name, set.record); }
    virtual void AddFile(const QString& name) = 0;
    virtual void AddSubfolder(const QString& set) = 0;
    virtual QStringList RootNames() const = 0;
};

class FolderDrive : public PruneDrive {
public:
    explicit FolderDrive(ProgramWorld& world) : m_root(world.BackupRoot()) {
        QDir().mkpath(m_root);
    }
    using PruneDrive::AddSet;
    void AddSet(const QString& name, const QByteArray& record, bool registry) override {
        ASSERT_TRUE(QDir(m_root).mkdir(name));
        Write(m_root + "/" + name + "/WIN.INI");
        if (!record.isEmpty()) Write(m_root + "/" + name + "/STOWIX.SET", record);
        if (registry) Write(m_root + "/" + name + "/SYSTEM.DAT", "CREG");
    }
    void AddFile(const QString& name) override { Write(m_root + "/" + name); }
    void AddSubfolder(const QString& set) override {
        ASSERT_TRUE(QDir(m_root + "/" + set).mkdir("SUB"));
    }
    QStringList RootNames() const override {
        QStringList names = QDir(m_root).entryList(QDir::AllEntries | QDir::NoDotAndDotDot |
                                                   QDir::System | QDir::Hidden);
        names.sort();
        return names;
    }
    QString Root() const { return m_root; }

private:
    static void Write(const QString& path, const QByteArray& bytes = "[windows]\r\n") {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << path.toStdString();
        file.write(bytes);
    }
    QString m_root;
};

class ImageDrive : public PruneDrive {
public:
    explicit ImageDrive(ProgramWorld& world) {
        m_image.AddFolder("Stowix");
        world.UseDriveC(m_image.Path());
    }
    using PruneDrive::AddSet;
    void AddSet(const QString& name, const QByteArray& record, bool registry) override {
        m_image.AddFolder("Stowix\\" + name);
        m_image.AddFile("Stowix\\" + name + "\\WIN.INI", "[windows]\r\n");
        if (!record.isEmpty()) m_image.AddFile("Stowix\\" + name + "\\STOWIX.SET", record);
        if (registry) m_image.AddFile("Stowix\\" + name + "\\SYSTEM.DAT", "CREG");
    }
    void AddFile(const QString& name) override { m_image.AddFile("Stowix\\" + name, "x"); }
    void AddSubfolder(const QString& set) override {
        m_image.AddFolder("Stowix\\" + set + "\\SUB");
    }
    QStringList RootNames() const override { return m_image.Names("Stowix"); }
    QString FsckProblems() const { return m_image.FsckProblems(); }

private:
    MtoolsImage m_image;
};

// A world whose drive holds every set of the table, the records naming the last backup and
// restore, and the files.
struct PruneScene {
    explicit PruneScene(bool image) {
        if (image)
            drive = std::make_unique<ImageDrive>(world);
        else
            drive = std::make_unique<FolderDrive>(world);
        for (const auto& [letter, set] : Thinnable()) drive->AddSet(set);
        for (const MadeSet& set : KeptSets()) drive->AddSet(set);
        for (const QString& name : Files) drive->AddFile(name);
        world.WriteSetting("Info", "LastBackup", "C:\\Stowix\\" + LastBackup.name);
        world.WriteSetting("Info", "LastRestore", "C:\\Stowix\\" + LastRestore.name);
    }

    RunResult Prune(const QStringList& arguments) {
        QProcessEnvironment environment = world.Environment();
        environment.insert("LC_ALL", StampLocale);
        return world.Run("stowix-prune", Options(arguments, environment));
    }

    ProgramWorld world;
    std::unique_ptr<PruneDrive> drive;
};

// The root's names expected after a prune that leaves these of the thinnable sets.
QStringList Expected(const QString& letters) {
    QStringList names = Kept() + Files;
    for (const QChar letter : letters) names << Thinnable().at(letter.toLatin1()).name;
    names.sort();
    return names;
}

class PruneTest : public ::testing::TestWithParam<bool> {};

struct PruneCase {
    const char* what;
    QStringList arguments;
    QString kept;  // the thinnable sets that stay
};

TEST_P(PruneTest, keeps_what_the_rules_and_the_records_keep_and_deletes_the_rest) {
    const PruneCase cases[] = {
        {"the newest two", {"--keep-last", "2"}, "GH"},
        {"the newest of each of three days", {"--keep-daily", "3"}, "FGH"},
        {"a Sunday and the Monday after are two weeks", {"--keep-weekly", "2"}, "GH"},
        {"the later of two sets in one second", {"--keep-monthly=4"}, "EFGH"},
        {"the newest of each day with a set", {"--keep-daily", "10"}, "BCEFGH"},
        {"the union of the rules", {"--keep-last", "1", "--keep-weekly", "3"}, "FGH"},
    };
    for (const PruneCase& test : cases) {
        SCOPED_TRACE(test.what);
        PruneScene scene(GetParam());
        const RunResult pruned = scene.Prune(test.arguments);
        EXPECT_TRUE(pruned.Ended(0)) << pruned.Describe();
        EXPECT_EQ(scene.drive->RootNames(), Expected(test.kept)) << pruned.Describe();
        for (const auto& [letter, set] : Thinnable()) {
            const QString path = "C:\\Stowix\\" + set.name;
            const QString line = test.kept.contains(QChar(letter))
                                     ? QString("\nkeep " + path + " (")
                                     : QString("\ndelete " + path + "\n");
            EXPECT_TRUE(QString("\n" + pruned.output).contains(line))
                << line.toStdString() << pruned.Describe();
        }
        if (auto* image = dynamic_cast<ImageDrive*>(scene.drive.get())) {
            EXPECT_EQ(image->FsckProblems().toStdString(), "");
        }
    }
}

TEST_P(PruneTest, tells_why_each_set_stays_and_a_dry_run_deletes_nothing) {
    PruneScene scene(GetParam());
    const QStringList before = scene.drive->RootNames();
    const RunResult listed = scene.Prune({"--keep-last", "1", "--keep-monthly", "2", "--dry-run"});
    ASSERT_TRUE(listed.Ended(0)) << listed.Describe();
    EXPECT_EQ(scene.drive->RootNames(), before);
    const QString root = "C:\\Stowix\\";
    for (const QString& line : QStringList{
             "keep " + root + Thinnable().at('H').name +
                 " (the newest complete set; last, monthly)",
             "keep " + root + Thinnable().at('G').name + " (monthly)",
             "would delete " + root + Thinnable().at('F').name,
             "keep " + root + UndoSet.name + " (it has a comment)",
             "keep " + root + Commented.name + " (it has a comment)",
             "keep " + root + LastBackup.name + " (the last backup)",
             "keep " + root + LastRestore.name + " (the last restore)",
             "keep " + root + OtherLocale.name + " (its time cannot be read from its name)",
         })
        EXPECT_TRUE(listed.output.split('\n').contains(line, Qt::CaseInsensitive))
            << line.toStdString() << listed.Describe();
    // Files are no sets, and are not listed.
    EXPECT_FALSE(listed.output.contains("SYSTEM.DAT", Qt::CaseInsensitive));
    EXPECT_EQ(scene.world.Setting("Info", "LastDelete"), "");
}

TEST_P(PruneTest, names_a_set_it_could_not_delete_and_deletes_the_others) {
    PruneScene scene(GetParam());
    const QString stuck = Thinnable().at('A').name;
    scene.drive->AddSubfolder(stuck);
    const RunResult pruned = scene.Prune({"--keep-last", "2"});
    EXPECT_TRUE(pruned.Ended(3)) << pruned.Describe();
    EXPECT_TRUE(
        pruned.errors.startsWith("stowix-prune: could not delete C:\\Stowix\\" + stuck + ": "))
        << pruned.Describe();
    EXPECT_EQ(scene.drive->RootNames(), Sorted(Expected("GH") << stuck)) << pruned.Describe();
    // The last set that really went, as the chooser's delete records it.
    EXPECT_EQ(scene.world.Setting("Info", "LastDelete"), "C:\\Stowix\\" + Thinnable().at('B').name);
}

INSTANTIATE_TEST_SUITE_P(Drives, PruneTest, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "image" : "folder"; });

// Sets are dated by their records, whatever the clock and the locale say now; only a folder
// that is a set is deleted, never the newest complete set, and an incomplete set keeps no place.
struct Folder {
    QString name;
    QByteArray record;  // empty: a folder made before records, or the user's own
    bool registry = false;
};

Folder Recorded(const char* locale, const QDateTime& made, bool complete = true) {
    return {StampAt(QLocale(QString::fromLatin1(locale)), made), RecordOf(made, locale, complete)};
}

Folder Unrecorded(const QDateTime& made, bool registry) {
    return {StampAt(QLocale(QString::fromLatin1(StampLocale)), made), {}, registry};
}

struct WhenMadeCase {
    const char* what;
    const char* locale;  // the locale prune runs in
    std::vector<Folder> folders;
    QStringList deleted;  // the names that go; every other stays
};

TEST(PruneByWhenMade, takes_times_from_records_and_deletes_only_sets) {
    const QDateTime now = QDateTime::currentDateTime();
    const int lastYear = now.date().year() - 1;
    const auto on = [lastYear](int month, int day) {
        return QDateTime(QDate(lastYear, month, day), QTime(3, 0));
    };
    const Folder dayBefore = Recorded("en_US", now.addDays(-2));
    const Folder yesterday = Recorded("en_US", now.addDays(-1));
    // Made when the clock was right; it has been set back a year since.
    const Folder aheadOfClock = Recorded("en_US", now.addDays(400));
    // Under en_AU, "2-5-yy" reads as 2 May and "3-2-yy" as 3 February.
    const Folder february = Recorded("en_US", on(2, 5));
    const Folder march = Recorded("en_US", on(3, 2));
    const Folder lookAlike = Unrecorded(on(11, 25), false);  // the user's, named like a set
    const Folder unsure = Unrecorded(on(10, 1), true);       // 1 October or 10 January
    const Folder older = Unrecorded(on(11, 20), true);       // made before records, beyond doubt
    const Folder newest = Recorded(StampLocale, on(12, 1));
    const Folder halfDone = Recorded(StampLocale, on(12, 2), false);
    const Folder earlierHalfDone = Recorded(StampLocale, on(11, 30), false);
    const WhenMadeCase cases[] = {
        {"a clock set back", "en_US", {dayBefore, yesterday, aheadOfClock}, {dayBefore.name}},
        {"sets named under en_US, pruned under en_AU", "en_AU", {february, march}, {february.name}},
        {"folders that only look like sets",
         StampLocale,
         {lookAlike, unsure, older, newest},
         {older.name}},
        {"an incomplete set keeps no place",
         StampLocale,
         {earlierHalfDone, newest, halfDone},
         {earlierHalfDone.name}},
    };
    for (const WhenMadeCase& test : cases) {
        SCOPED_TRACE(test.what);
        ProgramWorld world;
        FolderDrive drive(world);
        QStringList stays;
        for (const Folder& folder : test.folders) {
            drive.AddSet(folder.name, folder.record, folder.registry);
            if (!test.deleted.contains(folder.name)) stays << folder.name;
        }
        QProcessEnvironment environment = world.Environment();
        environment.insert("LC_ALL", test.locale);
        const RunResult pruned =
            world.Run("stowix-prune", Options({"--keep-last", "1"}, environment));
        EXPECT_TRUE(pruned.Ended(0)) << pruned.Describe();
        EXPECT_EQ(drive.RootNames(), Sorted(stays)) << pruned.Describe();
    }
}

// Links in the backup root are no set folders, whatever they are named: neither one to a set on
// the drive nor one that leads off the drive is deleted or followed.
TEST(PruneLinks, a_link_stays_and_what_it_leads_to_is_untouched) {
    ProgramWorld world;
    FolderDrive drive(world);
    const QString outside = world.Root() + "/outside";
    ASSERT_TRUE(QDir().mkpath(outside));
    QFile(outside + "/KEEP.TXT").open(QIODevice::WriteOnly);
    drive.AddSet(Thinnable().at('H'));
    drive.AddSet(Thinnable().at('A'));
    const QString inner = StampAt(3, 3, 3);
    const QString outer = StampAt(3, 4, 3);
    ASSERT_TRUE(
        QFile::link(drive.Root() + "/" + Thinnable().at('A').name, drive.Root() + "/" + inner));
    ASSERT_TRUE(QFile::link(outside, drive.Root() + "/" + outer));
    QProcessEnvironment environment = world.Environment();
    environment.insert("LC_ALL", StampLocale);
    const RunResult pruned = world.Run("stowix-prune", Options({"--keep-last", "1"}, environment));
    EXPECT_TRUE(pruned.Ended(0)) << pruned.Describe();
    EXPECT_FALSE(pruned.output.contains(inner) || pruned.output.contains(outer))
        << pruned.Describe();
    EXPECT_EQ(drive.RootNames(), Sorted({inner, outer, Thinnable().at('H').name}));
    EXPECT_TRUE(QFileInfo(drive.Root() + "/" + inner).isSymLink());
    EXPECT_TRUE(QFile::exists(outside + "/KEEP.TXT"));
}

// A set made before records is dated by its name: a two-digit year is read as the latest such
// year not after today. A rule is needed.
TEST(PruneCommandLine, reads_two_digit_years_and_refuses_to_run_without_a_rule) {
    ProgramWorld world;
    FolderDrive drive(world);
    const QLocale us("en_US");
    // Days after the 12th, which no locale reads with day and month swapped.
    const QDate today = QDate::currentDate();
    const QDateTime lastMonth(QDate(today.addMonths(-1).year(), today.addMonths(-1).month(), 20),
                              QTime(3, 0));
    const QString newer = StampAt(us, lastMonth);
    const QString older = StampAt(us, lastMonth.addYears(-2));  // a year of the same century
    drive.AddSet(older, {}, true);
    drive.AddSet(newer, {}, true);
    QProcessEnvironment environment = world.Environment();
    environment.insert("LC_ALL", "en_US");
    for (const QStringList& wrong :
         {QStringList{}, QStringList{"--keep-daily", "0"}, QStringList{"--keep-daily", "-1"},
          QStringList{"--keep-daily"}, QStringList{"--keep-yearly", "1"}}) {
        const RunResult refused = world.Run("stowix-prune", Options(wrong, environment));
        EXPECT_TRUE(refused.Ended(1)) << wrong.join(' ').toStdString() << refused.Describe();
        EXPECT_TRUE(refused.errors.contains("Usage: stowix-prune")) << refused.Describe();
    }
    EXPECT_EQ(drive.RootNames(), Sorted({older, newer}));
    const RunResult pruned = world.Run("stowix-prune", Options({"--keep-last", "1"}, environment));
    EXPECT_TRUE(pruned.Ended(0)) << pruned.Describe();
    EXPECT_EQ(drive.RootNames(), QStringList{newer}) << pruned.Describe();
}

}  // namespace
}  // namespace stowix::test
