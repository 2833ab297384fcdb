// Outcomes that must not be told as success: stowix-check on a drive or a backup root it cannot
// read, a restore whose boot script real-mode DOS could not run, and comments that make a set
// name Windows cannot hold.

#include "fault_fixture.h"

#include "image/mtools_image.h"
#include "image_writer.h"
#include "windows98_drive.h"

#include "restore/boot_script.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <sys/stat.h>

namespace stowix::test {
namespace {

constexpr int Sound = 0;
constexpr int Trouble = 2;

class HonestOutcome : public FaultTest {
protected:
    void SetUp() override { Start(); }

    RunResult Check(const QMap<QString, QString>& environment = {},
                    const QStringList& wrapper = {}) {
        RunOptions options;
        options.environment = environment;
        options.wrapper = wrapper;
        return World().Tool(QStringLiteral("stowix-check"), options);
    }
};

// A FAT32 volume whose root folder's cluster chain points back at itself: no entry of the root
// can be trusted, so nothing below it can be found.
QString ImageWithLoopingRoot(MtoolsImage& image) {
    image.AddFolder(QStringLiteral("WINDOWS"));
    image.AddFolder(QStringLiteral("Stowix"));
    const QByteArray boot = image.PeekVolume(0, 512);
    const auto word = [&boot](int at, int size) {
        quint32 value = 0;
        for (int i = size - 1; i >= 0; --i) value = (value << 8) | quint8(boot.at(at + i));
        return value;
    };
    const qint64 bytesPerSector = word(11, 2);
    const qint64 reserved = word(14, 2);
    const int tables = quint8(boot.at(16));
    const qint64 tableSectors = word(36, 4);
    const quint32 rootCluster = word(44, 4);
    QByteArray entry(4, '\0');
    for (int i = 0; i < 4; ++i) entry[i] = char((rootCluster >> (8 * i)) & 0xFF);
    for (int table = 0; table < tables; ++table)
        image.PokeVolume((reserved + table * tableSectors) * bytesPerSector + rootCluster * 4,
                         entry);
    return image.Path();
}

// stowix-check ends 2, never 0, when it cannot see the sets: a drive folder that is missing, a
// backup root that is a file or cannot be read, an image whose root folder is damaged. A drive
// that simply has no backup root yet holds no sets, which is sound.
TEST_F(HonestOutcome, stowix_check_that_cannot_read_the_sets_ends_2) {
    QDir(World().BackupRoot()).removeRecursively();
    const RunResult none = Check();
    EXPECT_TRUE(none.Ended(Sound)) << none.Describe();
    EXPECT_TRUE(none.output.contains(QLatin1String("holds no backup sets"))) << none.Describe();

    const RunResult missing =
        Check({{QStringLiteral("STOWIX_DRIVE_C"), World().Root() + QStringLiteral("/missing")}});
    EXPECT_TRUE(missing.Ended(Trouble)) << missing.Describe();
    EXPECT_TRUE(missing.errors.contains(QLatin1String("does not exist"))) << missing.Describe();

    QFile file(World().BackupRoot());
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    const RunResult aFile = Check();
    EXPECT_TRUE(aFile.Ended(Trouble)) << aFile.Describe();
    EXPECT_TRUE(aFile.errors.contains(QLatin1String("is a file"))) << aFile.Describe();
    ASSERT_TRUE(QFile::remove(World().BackupRoot()));

    MtoolsImage image(ImageSpec{32, 64, ImageSpec::Layout::Bare});
    const RunResult looping =
        Check({{QStringLiteral("STOWIX_DRIVE_C"), ImageWithLoopingRoot(image)}});
    EXPECT_TRUE(looping.Ended(Trouble)) << looping.Describe();
    EXPECT_FALSE(looping.output.contains(QLatin1String("holds no backup sets")))
        << looping.Describe();

    if (!World().CanRunAsNobody()) GTEST_SKIP() << "the programs cannot be run as nobody here";
    ASSERT_TRUE(QDir().mkdir(World().BackupRoot()));
    ASSERT_TRUE(QDir().mkdir(World().BackupRoot() + QStringLiteral("/a set")));
    ASSERT_EQ(::chmod(QFile::encodeName(World().BackupRoot()).constData(), 0), 0);
    const RunResult unreadable = Check({}, NobodyWrapper());
    ::chmod(QFile::encodeName(World().BackupRoot()).constData(), 0700);
    EXPECT_TRUE(unreadable.Ended(Trouble)) << unreadable.Describe();
    EXPECT_TRUE(unreadable.errors.contains(QLatin1String("Permission denied")))
        << unreadable.Describe();
}

// A Windows folder that real-mode DOS cannot name, on a drive that keeps no short names: the
// restore is refused before it copies anything, saying why; and stowix-boot fails, as the next
// start would, on a script that names a long folder.
TEST_F(HonestOutcome, a_windows_folder_dos_cannot_name_is_refused_by_restore_and_boot) {
    const struct {
        const char* folder;  // drive-relative
        const char* dos;
    } folders[] = {{"My Windows", "C:\\My Windows"},
                   {"WINDOWS98", "C:\\WINDOWS98"},
                   {"Fen\u00EAtres", "C:\\Fen\u00EAtres"}};
    for (const auto& f : folders) {
        const QString folder = QString::fromUtf8(f.folder);
        const QString dos = QString::fromUtf8(f.dos);
        SCOPED_TRACE(dos.toStdString());
        const QString host = World().Drive() + u'/' + folder;
        ASSERT_TRUE(QDir().mkdir(host));
        for (const char* name : {"/SYSTEM.DAT", "/USER.DAT"})
            ASSERT_TRUE(QFile::copy(World().Drive() + QStringLiteral("/WINDOWS") + name,
                                    host + QLatin1String(name)));
        Remember();
        const QMap<QString, QString> environment{{QStringLiteral("STOWIX_WINDOWS_FOLDER"), dos}};

        if (!FaultWorld::Display().isEmpty()) {
            RunOptions restore;
            restore.environment = environment;
            restore.robot = {QStringLiteral("click Form1.Command2"),
                             QStringLiteral("open C:\\Stowix\\") + older,
                             QStringLiteral("answer Ok"), QStringLiteral("click Form2.Command1"),
                             QStringLiteral("click Form1.Command3")};
            const RunResult refused = World().Stowix(restore);
            EXPECT_TRUE(refused.Ended(0)) << refused.Describe();
            EXPECT_TRUE(refused.errors.contains(QLatin1String("box [Restore refused]")))
                << refused.Describe();
            EXPECT_TRUE(refused.errors.contains(QLatin1String("has no name that DOS can use")))
                << refused.Describe();
            const QStringList changed = ChangedFiles(original, TakeSnapshot(World().Drive()),
                                                     QString(), {QStringLiteral("Stowix/")});
            EXPECT_TRUE(changed.isEmpty()) << changed.join(u'\n').toStdString();
            EXPECT_NE(World().Setting(QStringLiteral("Info"), QStringLiteral("LastRestore")),
                      QStringLiteral("C:\\Stowix\\") + older);
        }

        // What an earlier program might have left: staged files and a script that names the
        // folder by its long name.
        for (const char* name : {"/SYSTEM.DAT", "/USER.DAT"}) {
            QFile::remove(World().BackupRoot() + QLatin1String(name));
            ASSERT_TRUE(QFile::copy(World().BackupRoot() + u'/' + older + QLatin1String(name),
                                    World().BackupRoot() + QLatin1String(name)));
        }
        QByteArray script;
        for (const QString& line : BootScriptLines(dos)) script += line.toLatin1() + "\r\n";
        QFile scriptFile(host + QStringLiteral("/WinStart.Bat"));
        ASSERT_TRUE(scriptFile.open(QIODevice::WriteOnly));
        scriptFile.write(script);
        scriptFile.close();
        RunOptions boot;
        boot.environment = environment;
        const RunResult booted = World().Tool(QStringLiteral("stowix-boot"), boot);
        EXPECT_TRUE(booted.Ended(IncompleteStatus)) << booted.Describe();
        QFile::remove(World().BackupRoot() + QStringLiteral("/SYSTEM.DAT"));
        QFile::remove(World().BackupRoot() + QStringLiteral("/USER.DAT"));
        QDir(host).removeRecursively();
    }
}

// On a FAT image the Windows folder keeps its short alias: the restore names it so in the
// script, and the script then does its work at the next start.
TEST(HonestImageOutcome, a_long_windows_folder_is_named_by_its_alias_in_the_boot_script) {
    STOWIX_NEEDS_DISPLAY();
    FaultWorld world;
    const QString imagePath = world.Root() + QStringLiteral("/c.img");
    const QString error =
        tools::WriteDriveImage(tools::Windows98Drive({}), imagePath, world.Root());
    ASSERT_TRUE(error.isEmpty()) << error.toStdString();
    world.UseDriveC(imagePath);
    MtoolsImage image(imagePath, tools::ImagePartitionOffset,
                      QFileInfo(imagePath).size() - tools::ImagePartitionOffset);
    image.AddFolder(QStringLiteral("My Windows"));
    for (const char* name : {"SYSTEM.DAT", "USER.DAT", "WIN.INI"})
        image.AddFile(QStringLiteral("My Windows\\") + QLatin1String(name),
                      image.Bytes(QStringLiteral("WINDOWS\\") + QLatin1String(name)).value());
    const QString alias = image.ShortName(QStringLiteral("My Windows"));
    ASSERT_FALSE(alias.isEmpty());

    RunOptions options = UnattendedRun();
    options.environment = {
        {QStringLiteral("STOWIX_WINDOWS_FOLDER"), QStringLiteral("C:\\My Windows")}};
    const RunResult backup = world.Stowix(options);
    ASSERT_TRUE(backup.Ended(0)) << backup.Describe();
    const QStringList sets = image.Names(QStringLiteral("Stowix"));
    ASSERT_EQ(sets.size(), 1);
    // The drive's registry changes after the backup; the restore puts the set's back.
    const QByteArray setSystem =
        image.Bytes(QStringLiteral("Stowix\\") + sets.first() + QStringLiteral("\\SYSTEM.DAT"))
            .value();
    image.AddFile(QStringLiteral("My Windows\\SYSTEM.DAT"), "changed since", 0x27);

    options = RunOptions();
    options.environment = {
        {QStringLiteral("STOWIX_WINDOWS_FOLDER"), QStringLiteral("C:\\My Windows")}};
    options.robot = FaultWorld::RestoreSteps(sets.first());
    const RunResult restored = world.Stowix(options);
    EXPECT_TRUE(restored.Ended(0)) << restored.Describe();
    const QByteArray script =
        image.Bytes(QStringLiteral("My Windows\\WinStart.Bat")).value_or(QByteArray());
    const QByteArray copyLine = "Copy C:\\Stowix\\*.Da? C:\\" + alias.toLatin1() + "\r\n";
    EXPECT_TRUE(script.contains(copyLine)) << script.toStdString();
    EXPECT_FALSE(script.contains("My Windows")) << script.toStdString();

    options.robot.clear();
    const RunResult booted = world.Tool(QStringLiteral("stowix-boot"), options);
    EXPECT_TRUE(booted.Ended(0)) << booted.Describe();
    EXPECT_EQ(image.Bytes(QStringLiteral("My Windows\\SYSTEM.DAT")), setSystem);
}

}  // namespace
}  // namespace stowix::test
