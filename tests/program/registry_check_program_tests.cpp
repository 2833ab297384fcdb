// The registry check in the built programs: stowix /U tells of a damaged registry and ends with
// status 4, and stowix-check checks the sets, one line each.

#include "program/program_fixture.h"

#include "registry_damage.h"
#include "registry_file_writer.h"
#include "windows98_registry.h"

#include <QFile>

namespace stowix::test {
namespace {

using namespace stowix::tools;

class RegistryCheckProgramTest : public ProgramTest {
protected:
    // Replaces a file's bytes on the host, whatever its permission bits (the registry files are
    // read-only), keeping its bits.
    void Overwrite(const QString& relative, const QByteArray& bytes) {
        const QString path = HostPath(relative);
        const QFile::Permissions kept = QFile::permissions(path);
        ASSERT_TRUE(QFile::setPermissions(path, kept | QFile::WriteOwner));
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        ASSERT_EQ(file.write(bytes), bytes.size());
        file.close();
        ASSERT_TRUE(QFile::setPermissions(path, kept));
    }

    QString OnlySet() {
        const QStringList sets = FoldersIn("Stowix");
        EXPECT_EQ(sets.size(), 1) << sets.join(", ").toStdString();
        return sets.isEmpty() ? QString() : "Stowix\\" + sets.first();
    }
};

TEST_F(RegistryCheckProgramTest,
       an_unattended_backup_of_a_damaged_registry_completes_and_ends_with_4) {
    const QByteArray damaged = DamageRegistryFile(WriteRegistryFile(Windows98UserTree()),
                                                  RegistryDamage::FirstBlockSignature);
    Overwrite("WINDOWS\\USER.DAT", damaged);

    const Outcome outcome = Run("stowix", {"/U"});

    EXPECT_EQ(outcome.exitCode, 4);
    const QStringList lines = outcome.errors.split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 1) << outcome.errors.toStdString();
    EXPECT_TRUE(lines[0].startsWith("Damaged Registry: ")) << lines[0].toStdString();
    EXPECT_TRUE(lines[0].contains("USER.DAT: it has no root key")) << lines[0].toStdString();
    // Damage does not stop the backup: the set is complete, the copy is the drive's file, and
    // the set is recorded.
    const QString set = OnlySet();
    ASSERT_FALSE(set.isEmpty());
    EXPECT_EQ(StateOf(set + "\\USER.DAT").bytes, damaged);
    EXPECT_EQ(StateOf(set + "\\SYSTEM.DAT").bytes, StateOf("WINDOWS\\SYSTEM.DAT").bytes);
    EXPECT_EQ(Setting("Info", "LastBackup"), "C:\\" + set);
}

TEST_F(RegistryCheckProgramTest, stowix_check_gives_one_line_per_set_and_the_worst_status) {
    ASSERT_EQ(Run("stowix", {"/U"}).exitCode, 0);
    const QString set = OnlySet();
    ASSERT_FALSE(set.isEmpty());

    Outcome sound = Run("stowix-check");
    EXPECT_EQ(sound.exitCode, 0) << sound.output.toStdString() << sound.errors.toStdString();
    EXPECT_TRUE(sound.output.startsWith("C:\\" + set + ": sound (")) << sound.output.toStdString();
    EXPECT_EQ(sound.output.count('\n'), 1);

    // A second set made by hand, its SYSTEM.DAT cut short and no USER.DAT.
    const QByteArray cut =
        DamageRegistryFile(WriteRegistryFile(Windows98SystemTree()), RegistryDamage::CutShort);
    ASSERT_TRUE(files->CreateFolder("C:\\Stowix\\broken").ok());
    ASSERT_TRUE(files->WriteTextFile("C:\\Stowix\\broken\\WIN.INI", {"[windows]"}).ok());
    QFile system(HostPath("Stowix\\broken\\SYSTEM.DAT"));
    ASSERT_TRUE(system.open(QIODevice::WriteOnly));
    system.write(cut);
    system.close();

    const Outcome both = Run("stowix-check");
    EXPECT_EQ(both.exitCode, 1);
    const QStringList lines = both.output.split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 2) << both.output.toStdString();
    const QString broken = lines.filter("broken").value(0);
    EXPECT_TRUE(broken.startsWith("C:\\Stowix\\broken: damaged: SYSTEM.DAT is damaged: "))
        << broken.toStdString();
    EXPECT_TRUE(broken.endsWith("; USER.DAT is missing")) << broken.toStdString();

    // Named sets only, by name or DOS path; a set that does not exist is trouble.
    const Outcome named = Run("stowix-check", {set.section('\\', -1)});
    EXPECT_EQ(named.exitCode, 0) << named.output.toStdString();
    EXPECT_EQ(named.output.count('\n'), 1);
    const Outcome missing = Run("stowix-check", {"C:\\Stowix\\nothing", set.section('\\', -1)});
    EXPECT_EQ(missing.exitCode, 2);
    EXPECT_TRUE(missing.output.contains("C:\\Stowix\\nothing: no such backup set"));
    EXPECT_EQ(Run("stowix-check", {"--frobnicate"}).exitCode, 2);
}

// An INI file of 50 GiB (sparse: it takes no room) in a set: no Windows 9x drive holds such a
// file, so it is named as damage at once rather than read through.
TEST_F(RegistryCheckProgramTest, stowix_check_names_a_huge_file_without_reading_it_whole) {
    ASSERT_EQ(Run("stowix", {"/U"}).exitCode, 0);
    const QString set = OnlySet();
    ASSERT_FALSE(set.isEmpty());
    QFile ini(HostPath(set + "\\WIN.INI"));
    ASSERT_TRUE(QFile::setPermissions(ini.fileName(), QFile::ReadOwner | QFile::WriteOwner));
    ASSERT_TRUE(ini.resize(50LL << 30));
    const Outcome checked = Run("stowix-check");
    EXPECT_EQ(checked.exitCode, 1) << checked.output.toStdString();
    EXPECT_TRUE(
        checked.output.contains("WIN.INI cannot be read: it is 53687091200 bytes, larger "
                                "than any file a Windows 95 or 98 drive holds"))
        << checked.output.toStdString();
}

TEST_F(RegistryCheckProgramTest, stowix_check_without_a_drive_is_trouble) {
    environment.remove("STOWIX_DRIVE_C");
    const Outcome outcome = Run("stowix-check");
    EXPECT_EQ(outcome.exitCode, 2);
    EXPECT_FALSE(outcome.errors.isEmpty());
}

}  // namespace
}  // namespace stowix::test
