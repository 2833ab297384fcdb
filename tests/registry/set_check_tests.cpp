// The check of a backup set over the real file system: every file read, the registry pair there
// and sound; and the registry check that the backup and the restore make of a set.

#include "registry/set_check.h"
#include "support/temp_drive.h"

#include "registry_damage.h"
#include "registry_file_writer.h"
#include "windows98_registry.h"

#include <QFile>

#include <functional>

#include <gtest/gtest.h>

namespace stowix::test {
namespace {

using namespace stowix::tools;

const QString Set = "C:\\Stowix\\11-5-99 3;45;12 PM";
constexpr int Registry =
    Attribute::ReadOnly | Attribute::Hidden | Attribute::System | Attribute::Archive;

QByteArray SoundSystem() { return WriteRegistryFile(Windows98SystemTree()).bytes; }
QByteArray SoundUser() { return WriteRegistryFile(Windows98UserTree()).bytes; }

class SetCheckTest : public ::testing::Test {
protected:
    // A set as a backup makes it: the registry files hidden, system and read-only.
    void AddSet(const QByteArray& system, const QByteArray& user,
                const QString& systemName = "SYSTEM.DAT") {
        drive.AddFile(Set + "\\" + systemName, system, Registry);
        drive.AddFile(Set + "\\USER.DAT", user, Registry);
        drive.AddFile(Set + "\\WIN.INI", "[windows]\r\n", Attribute::Archive);
        drive.AddFile(Set + "\\AUTOEXEC.BAT", "@ECHO OFF\r\n", Attribute::Archive);
    }
    TempDrive drive;
};

TEST_F(SetCheckTest, a_set_with_every_file_readable_and_a_sound_registry_pair_is_sound) {
    AddSet(SoundSystem(), SoundUser(), "system.dat");  // found whatever the case of its name
    const SetCheck check = CheckBackupSet(drive.Files(), Set);
    EXPECT_EQ(check.verdict, SetVerdict::Sound) << check.problems.join("; ").toStdString();
    EXPECT_EQ(check.files, 4);
    EXPECT_EQ(check.registryKeys,
              Windows98SystemTree().CountKeys() + Windows98UserTree().CountKeys());
    EXPECT_TRUE(CheckSetRegistry(drive.Files(), Set).empty());
}

TEST_F(SetCheckTest, each_fault_of_a_set_is_named) {
    const QByteArray cut =
        DamageRegistryFile(WriteRegistryFile(Windows98SystemTree()), RegistryDamage::CutShort);
    struct Case {
        const char* name;
        std::function<void(TempDrive&)> make;
        const char* problem;  // the start of the one problem named
    } cases[] = {
        {"USER.DAT missing", [](TempDrive& d) { QFile::remove(d.HostPath(Set + "\\USER.DAT")); },
         "USER.DAT is missing"},
        {"SYSTEM.DAT cut short",
         [&](TempDrive& d) { d.AddFile(Set + "\\SYSTEM.DAT", cut, Registry); },
         "SYSTEM.DAT is damaged: "},
        {"USER.DAT not a registry",
         [](TempDrive& d) { d.AddFile(Set + "\\USER.DAT", "user registry", Registry); },
         "USER.DAT is damaged: it does not begin as a registry file does"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDrive fresh;
        fresh.AddFile(Set + "\\SYSTEM.DAT", SoundSystem(), Registry);
        fresh.AddFile(Set + "\\USER.DAT", SoundUser(), Registry);
        fresh.AddFile(Set + "\\WIN.INI", "[windows]\r\n");
        c.make(fresh);
        const SetCheck check = CheckBackupSet(fresh.Files(), Set);
        EXPECT_EQ(check.verdict, SetVerdict::Damaged);
        ASSERT_EQ(check.problems.size(), 1) << check.problems.join("; ").toStdString();
        EXPECT_TRUE(check.problems.front().startsWith(QLatin1String(c.problem)))
            << check.problems.front().toStdString();
    }
}

TEST_F(SetCheckTest, a_file_that_cannot_be_read_is_named) {
    AddSet(SoundSystem(), SoundUser());
    ASSERT_TRUE(QFile::setPermissions(drive.HostPath(Set + "\\WIN.INI"), {}));
    QFile probe(drive.HostPath(Set + "\\WIN.INI"));
    if (probe.open(QIODevice::ReadOnly))
        GTEST_SKIP() << "a file without permissions can be read here (root)";
    const SetCheck check = CheckBackupSet(drive.Files(), Set);
    EXPECT_EQ(check.verdict, SetVerdict::Damaged);
    ASSERT_EQ(check.problems.size(), 1);
    EXPECT_TRUE(check.problems.front().startsWith("WIN.INI cannot be read: "))
        << check.problems.front().toStdString();
}

TEST_F(SetCheckTest, the_set_registry_check_names_damaged_files_as_stored_and_ignores_absent_ones) {
    drive.AddFile(
        Set + "\\User.Dat",
        DamageRegistryFile(WriteRegistryFile(Windows98UserTree()), RegistryDamage::OwnAncestor),
        Registry);
    drive.AddFile(Set + "\\WIN.INI", "[windows]\r\n");
    const std::vector<RegistryProblem> problems = CheckSetRegistry(drive.Files(), Set);
    ASSERT_EQ(problems.size(), 1u);
    EXPECT_EQ(problems[0].name, "User.Dat");
    EXPECT_TRUE(problems[0].checked);
    EXPECT_TRUE(problems[0].reason.contains("its own ancestor"))
        << problems[0].reason.toStdString();
    EXPECT_TRUE(DescribeRegistryProblems(problems).startsWith("User.Dat: the key HKEY_USERS\\"))
        << DescribeRegistryProblems(problems).toStdString();
}

}  // namespace
}  // namespace stowix::test
