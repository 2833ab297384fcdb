// Two drives with one settings folder, as a user with two machines has them: each drive's
// records (LastBackup, LastRestore, LastDelete) are its own, the records written before they
// were kept per drive stay with the drive whose set they name, and stowix-prune keeps the last
// backup of its own drive.

#include "support/program_world.h"
#include "unattended/run_options.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>

namespace stowix::test {
namespace {

class TwoDrives : public ::testing::Test {
protected:
    void SetUp() override {
        for (const QString& drive : {first, second}) {
            const RunResult made = world.Run("stowix-make-drive", Options({drive}));
            ASSERT_TRUE(made.Ended(0)) << made.Describe();
        }
    }

    // A backup of one drive, as its timer instance runs it.
    QString Backup(const QString& drive) {
        QProcessEnvironment environment = world.Environment();
        environment.insert("STOWIX_DRIVE_C", drive);
        const QStringList before = Sets(drive);
        const RunResult run = world.Run("stowix", Options({"/U"}, environment));
        EXPECT_TRUE(run.Ended(0)) << run.Describe();
        const QStringList after = Sets(drive);
        for (const QString& set : after)
            if (!before.contains(set)) return "C:\\Stowix\\" + set;
        ADD_FAILURE() << "no new set on " << drive.toStdString();
        return QString();
    }

    static QStringList Sets(const QString& drive) {
        return QDir(drive + "/Stowix").entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    }

    // The section of the settings file that holds a drive's records.
    QString SectionOf(const QString& drive) const {
        QSettings settings(world.SettingsFile(), QSettings::IniFormat);
        const QString name = QFileInfo(drive).canonicalFilePath();
        for (const QString& group : settings.childGroups())
            if (settings.value(group + "/Drive").toString() == name) return group;
        return QString();
    }

    QString Record(const QString& drive, const char* key) const {
        const QSettings settings(world.SettingsFile(), QSettings::IniFormat);
        return settings.value(SectionOf(drive) + "/" + key).toString();
    }

    ProgramWorld world;
    const QString first = world.Root() + "/games";
    const QString second = world.Root() + "/office";
};

TEST_F(TwoDrives, each_drive_keeps_its_own_records_and_the_earlier_ones_stay_with_their_drive) {
    // Settings from before: the last backup is a set of the second drive.
    ASSERT_TRUE(QDir().mkpath(second + "/Stowix/1-2-25 3;00;00 AM"));
    world.WriteSetting("Info", "LastBackup", "C:\\Stowix\\1-2-25 3;00;00 AM");
    world.WriteSetting("Info", "LastDelete", "C:\\Stowix\\old");

    // The first drive's backup leaves them alone: they name no set of its.
    const QString firstSet = Backup(first);
    EXPECT_EQ(world.Setting("Info", "LastBackup"), "C:\\Stowix\\1-2-25 3;00;00 AM");
    EXPECT_EQ(world.Setting("Info", "Drive"), "");
    EXPECT_TRUE(SectionOf(first).startsWith("Info-")) << SectionOf(first).toStdString();
    EXPECT_EQ(Record(first, "LastBackup"), firstSet);
    EXPECT_EQ(Record(first, "LastDelete"), "");

    // The second drive's backup takes them as its own, where they always were.
    const QString secondSet = Backup(second);
    EXPECT_EQ(SectionOf(second), "Info");
    EXPECT_EQ(world.Setting("Info", "LastBackup"), secondSet);
    EXPECT_EQ(world.Setting("Info", "LastDelete"), "C:\\Stowix\\old");
    EXPECT_EQ(Record(first, "LastBackup"), firstSet);

    // A link to the first drive's folder is the same drive.
    const QString link = world.Root() + "/games-link";
    ASSERT_TRUE(QFile::link(first, link));
    const QString again = Backup(link);
    EXPECT_EQ(Record(first, "LastBackup"), again);
    EXPECT_EQ(world.Setting("Info", "LastBackup"), secondSet);
    QSettings settings(world.SettingsFile(), QSettings::IniFormat);
    EXPECT_EQ(settings.childGroups().filter("Info").size(), 2)
        << settings.childGroups().join(' ').toStdString();

    // Each drive's prune keeps its own last backup.
    for (const auto& [drive, last] : {std::pair{first, again}, std::pair{second, secondSet}}) {
        QProcessEnvironment environment = world.Environment();
        environment.insert("STOWIX_DRIVE_C", drive);
        const RunResult listed =
            world.Run("stowix-prune", Options({"--keep-last", "1", "--dry-run"}, environment));
        EXPECT_TRUE(listed.Ended(0)) << listed.Describe();
        EXPECT_TRUE(listed.output.contains("keep " + last + " (")) << listed.Describe();
    }
}

}  // namespace
}  // namespace stowix::test
