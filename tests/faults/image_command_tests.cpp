// The command-line jobs on a disk image as drive C:: stowix-backup, stowix-restore (then
// stowix-boot, as the next start of Windows) and a dry run, read back by mtools and checked by
// fsck.fat.

#include "image_program_fixture.h"

#include <QCryptographicHash>

namespace stowix::test {
namespace {

class ImageCommands : public ImageProgram {
protected:
    RunResult Command(const QString& name, const QStringList& arguments) {
        RunOptions options;
        options.arguments = arguments;
        return world->Tool(name, options);
    }
    QByteArray ImageDigest() {
        QFile file(imagePath);
        EXPECT_TRUE(file.open(QIODevice::ReadOnly));
        return QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256);
    }
};

TEST_F(ImageCommands, a_restore_from_the_command_line_gives_the_sets_bytes_after_the_next_start) {
    const RunResult backup = Command("stowix-backup", {"--comment", "good"});
    ASSERT_TRUE(backup.Ended(0)) << backup.Describe();
    ASSERT_EQ(Sets().size(), 1);
    const QString set = Sets().first();
    EXPECT_TRUE(backup.output.startsWith(set + ": ")) << backup.output.toStdString();
    EXPECT_TRUE(SetProblems(set, true).isEmpty())
        << SetProblems(set, true).join('\n').toStdString();

    // The experiment: two configuration files changed on the drive.
    const QString changed = world->Root() + "/changed.ini";
    {
        QFile file(changed);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("[changed by an installer]\r\n");
    }
    for (const char* path : {"::/WINDOWS/WIN.INI", "::/WINDOWS/SYSTEM.INI"})
        ASSERT_EQ(image->Mtools("mcopy", {"-o", changed, path}).first, 0) << path;
    ASSERT_FALSE(UserFileProblems().isEmpty());

    const QByteArray before = ImageDigest();
    const RunResult dryRun = Command("stowix-restore", {"--dry-run", "latest"});
    EXPECT_TRUE(dryRun.Ended(0)) << dryRun.Describe();
    EXPECT_TRUE(dryRun.output.contains("WIN.INI")) << dryRun.output.toStdString();
    EXPECT_EQ(ImageDigest(), before) << "the dry run changed the image";

    const RunResult restored = Command("stowix-restore", {"latest"});
    ASSERT_TRUE(restored.Ended(0)) << restored.Describe();
    const RunResult boot = world->Boot();
    ASSERT_TRUE(boot.Ended(0)) << boot.Describe();
    EXPECT_TRUE(UserFileProblems().isEmpty()) << UserFileProblems().join('\n').toStdString();
    EXPECT_EQ(Sets().size(), 2) << "no undo set";
    ExpectClean();
}

}  // namespace
}  // namespace stowix::test
