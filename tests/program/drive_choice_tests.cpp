// The drive named where the user is: "stowix DRIVE", --drive and -C on folder, Wine prefix and
// image drives over the environment's drive; a Wine prefix's registry taken whole into its set
// and checked as Wine's text; the single-copy rule kept per drive.

#include "program/program_fixture.h"

#include "hostfs/posix_file_system.h"
#include "restore/folder_chooser.h"
#include "support/fake_forms.h"
#include "support/fake_services.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QThread>

namespace stowix::test {
namespace {

const QByteArray WineSystemReg =
    "WINE REGISTRY Version 2\n"
    ";; All keys relative to \\\\Machine\n"
    "\n"
    "#arch=win32\n"
    "\n"
    "[Software\\\\Wine] 1700000000\n"
    "#time=1da1b2c3d4e5f60\n"
    "\"Version\"=\"win98\"\n"
    "\n"
    "[System\\\\CurrentControlSet\\\\Control] 1700000000\n"
    "\"Binary\"=hex:01,02,03,\\\n"
    "  04,05\n";

const QByteArray WineUserReg =
    "WINE REGISTRY Version 2\n"
    ";; All keys relative to \\\\User\\\\S-1-5-21-0-0-0-1000\n"
    "\n"
    "[Control Panel\\\\Desktop] 1700000000\n"
    "@=\"\"\n"
    "\"Wallpaper\"=\"C:\\\\windows\\\\clouds.bmp\"\n";

class DriveChoiceTest : public ProgramTest {
protected:
    // A second Windows drive: a copy of the generated one in another folder.
    QString CopyOfDrive(const QString& folder) {
        const QString target = world.Root() + u'/' + folder;
        EXPECT_TRUE(QDir().mkpath(QFileInfo(target).path()));
        EXPECT_EQ(QProcess::execute("cp", {"-a", driveRoot, target}), 0);
        return target;
    }

    // A Wine prefix whose drive_c is a copy of the drive, with Wine's three registry files.
    QString MakeWinePrefix() {
        const QString prefix = world.Root() + QStringLiteral("/prefix");
        EXPECT_TRUE(QDir().mkpath(prefix));
        EXPECT_EQ(QProcess::execute("cp", {"-a", driveRoot, prefix + "/drive_c"}), 0);
        // Wine keeps no Windows 9x registry files: its registry is the text beside drive_c.
        EXPECT_EQ(QProcess::execute("find", {prefix + "/drive_c", "(", "-iname", "system.da?", "-o",
                                             "-iname", "user.da?", ")", "-delete"}),
                  0);
        WriteHostFile(prefix + "/system.reg", WineSystemReg);
        WriteHostFile(prefix + "/user.reg", WineUserReg);
        WriteHostFile(prefix + "/userdef.reg", WineUserReg);
        return prefix;
    }

    // A FAT disk image holding the drive's files, made by mtools; as large as a small real
    // one, so that a backup leaves the room that Windows keeps free.
    QString MakeImage() {
        const QString image = world.Root() + QStringLiteral("/win98.img");
        EXPECT_EQ(QProcess::execute("mkfs.fat", {"-C", "-F", "16", image, "131072"}), 0);
        const QStringList entries =
            QDir(driveRoot).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
        for (const QString& entry : entries)
            EXPECT_EQ(
                QProcess::execute("mcopy", {"-s", "-i", image, driveRoot + u'/' + entry, "::"}), 0)
                << entry.toStdString();
        return image;
    }

    static void WriteHostFile(const QString& path, const QByteArray& bytes) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        ASSERT_EQ(file.write(bytes), bytes.size());
    }

    // Restores the set of the prefix's drive as a user does (Restore, a double-click on the set,
    // Yes to the confirmation, No to the restart), through the chooser's own logic; what the
    // restore told the user, one box a line.
    QStringList RestoreWineSet(const QString& prefix, const QString& setName) {
        DriveMap drive;
        drive.Set(u'C', QString(prefix + "/drive_c").toStdString());
        std::unique_ptr<FileSystem> prefixFiles = MakePosixFileSystem(drive);
        EXPECT_TRUE(prefixFiles->ChangeDrive(u'C').ok());
        EventLog log;
        FakeForm2 form2{log};
        FakeWindow mainForm{log, "Form1"};
        FakeSettingsStore settings;
        FakeSystem system{log};
        FakeDialogs dialogs{log};
        FakeWindowsApi windows{log};
        ProgramValues values{"C:\\WINDOWS", "\\WINDOWS"};
        values.WinePrefix = prefix;
        FolderChooser chooser{form2, mainForm,
                              Services{*prefixFiles, settings, system, dialogs, windows}, values};
        form2.form.onShow = chooser.Events().Form_Activate;
        dialogs.answers = {MessageAnswer::Yes, MessageAnswer::No};
        chooser.Open(RestoreMode);
        form2.dir1.DoubleClick("C:\\Stowix\\" + setName);
        QStringList told;
        for (const AskedMessage& message : dialogs.messages)
            told << message.title + ": " + QString(message.text).replace('\r', ' ');
        return told;
    }

    static QByteArray HostBytes(const QString& path) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    static QStringList SetsIn(const QString& driveFolder) {
        return QDir(driveFolder + "/Stowix").entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    }
};

// The command line names drive C: over STOWIX_DRIVE_C, which here names a drive that must stay
// untouched; a path with "/u" or "/i" in it is the drive, never a switch.
TEST_F(DriveChoiceTest, the_command_line_names_the_drive_over_the_environment) {
    const QString other = CopyOfDrive("other/u/i");
    const QString image = MakeImage();
    const struct {
        const char* name;
        QStringList arguments;
        QString drive;  // host folder whose backup root must gain a set; empty: the image
    } cases[] = {
        {"stowix DRIVE", {other, "/U"}, other},
        {"--drive PATH", {"/U", "--drive", other}, other},
        {"--drive=PATH", {"--drive=" + other, "/u"}, other},
        {"-C PATH", {"-C", other, "/U"}, other},
        {"stowix IMAGE", {"/U", image}, ""},
        {"--drive IMAGE", {"--drive", image, "/U"}, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QStringList before = SetsIn(c.drive.isEmpty() ? driveRoot : c.drive);
        const Outcome outcome = Run("stowix", c.arguments);
        EXPECT_EQ(outcome.exitCode, 0) << outcome.errors.toStdString();
        if (!c.drive.isEmpty()) {
            EXPECT_EQ(SetsIn(c.drive).size(), before.size() + 1);
        } else {
            QProcess list;
            list.start("mdir", {"-b", "-i", image, "::/Stowix"});
            list.waitForFinished();
            EXPECT_FALSE(list.readAllStandardOutput().trimmed().isEmpty()) << "no set in the image";
        }
    }
    EXPECT_TRUE(SetsIn(driveRoot).isEmpty()) << "the environment's drive was backed up";

    // Two drives, or an option without its path, are refused before anything is done.
    EXPECT_EQ(Run("stowix", {"/U", other, image}).exitCode, 1);
    EXPECT_EQ(Run("stowix-check", {"--drive"}).exitCode, 2);
    // Every other command takes the drive the same way.
    const Outcome check = Run("stowix-check", {"-C", other});
    EXPECT_EQ(check.exitCode, 0) << check.output.toStdString() << check.errors.toStdString();
    EXPECT_TRUE(check.output.contains(": sound")) << check.output.toStdString();
}

// A Wine prefix is a whole drive: the prefix itself names it, and its registry files are in
// the set, checked as Wine's text, and compared key by key between sets.
TEST_F(DriveChoiceTest, a_wine_prefix_backs_up_and_checks_its_registry_files) {
    const QString prefix = MakeWinePrefix();
    ASSERT_EQ(Run("stowix", {"/U", "--drive", prefix}).exitCode, 0);
    const QStringList sets = SetsIn(prefix + "/drive_c");
    ASSERT_EQ(sets.size(), 1);
    const QString set = prefix + "/drive_c/Stowix/" + sets.first();
    for (const char* name : {"system.reg", "user.reg", "userdef.reg"}) {
        QFile copied(set + u'/' + QLatin1String(name));
        ASSERT_TRUE(copied.open(QIODevice::ReadOnly)) << name;
        EXPECT_EQ(copied.readAll(), name == QByteArray("system.reg") ? WineSystemReg : WineUserReg);
    }
    const Outcome sound = Run("stowix-check", {"--drive", prefix});
    EXPECT_EQ(sound.exitCode, 0) << sound.output.toStdString();
    EXPECT_TRUE(sound.output.contains("registry of 4 keys")) << sound.output.toStdString();

    // The set against the prefix as it is: the same, and once a value changes, that value.
    const Outcome same = Run("stowix-diff", {"--drive", prefix, sets.first()});
    EXPECT_EQ(same.exitCode, 0) << same.output.toStdString() << same.errors.toStdString();
    WriteHostFile(prefix + "/system.reg",
                  QByteArray(WineSystemReg).replace("\"win98\"", "\"win95\""));
    const Outcome changed = Run("stowix-diff", {"-C", prefix, sets.first()});
    EXPECT_EQ(changed.exitCode, 1) << changed.output.toStdString() << changed.errors.toStdString();
    EXPECT_TRUE(changed.output.contains("\"Version\": \"win98\" -> \"win95\""))
        << changed.output.toStdString();
    EXPECT_FALSE(changed.output.contains("user.reg")) << changed.output.toStdString();

    // A second set with the changed value: the difference between the sets by key and value.
    QThread::sleep(1);  // the next set's name holds the time to the second
    ASSERT_EQ(Run("stowix", {"/U", "--drive", prefix}).exitCode, 0);
    const QStringList both = SetsIn(prefix + "/drive_c");
    ASSERT_EQ(both.size(), 2);
    const Outcome diff = Run("stowix-diff", {"--drive", prefix, both.at(0), both.at(1)});
    EXPECT_EQ(diff.exitCode, 1) << diff.output.toStdString() << diff.errors.toStdString();
    EXPECT_TRUE(diff.output.contains("\"Version\"")) << diff.output.toStdString();
    EXPECT_TRUE(diff.output.contains("win95")) << diff.output.toStdString();

    // A registry file cut short is damaged.
    WriteHostFile(set + "/user.reg", WineUserReg.left(WineUserReg.size() - 12));
    const Outcome damaged = Run("stowix-check", {"--drive", prefix, sets.first()});
    EXPECT_EQ(damaged.exitCode, 1) << damaged.output.toStdString();
    EXPECT_TRUE(damaged.output.contains("user.reg is damaged")) << damaged.output.toStdString();
}

// A desktop user with no drive named: the real window under a real X display, driven with the
// keyboard through xdotool. "Select Windows Drive" lists the disk image in ~/vms, selected; Enter
// opens it, Alt+B backs it up into the image, and the next start opens on it at once.
TEST_F(DriveChoiceTest, with_no_drive_the_chooser_opens_a_disk_image_that_is_then_backed_up) {
    const QString image = MakeImage();
    ASSERT_TRUE(QDir().mkpath(world.Home() + "/vms"));
    const QString disk = world.Home() + "/vms/win98.img";
    ASSERT_TRUE(QFile::rename(image, disk));
    environment.remove("STOWIX_DRIVE_C");
    // The window's keyboard, as a user types: wait for each window, then press its keys.
    const QString script = QStringLiteral(
        "\"$@\" & program=$!\n"
        "xdotool search --sync --name 'Select Windows Drive' windowfocus --sync key Return\n"
        "xdotool search --sync --name '^Stowix - win98.img$' windowfocus --sync key alt+b\n"
        "tries=0\n"
        "until grep -q '^LastBackup=' \"$XDG_CONFIG_HOME/Stowix/Stowix.ini\" 2>/dev/null; do\n"
        "  tries=$((tries + 1)); [ $tries -gt 300 ] && break; sleep 0.2\n"
        "done\n"
        "xdotool search --name '^Stowix - win98.img$' windowfocus --sync key ctrl+q\n"
        "wait $program\n");
    ProcessOptions options;
    options.environment = environment;
    options.wrapper = {"xvfb-run", "-a", "sh", "-c", script, "sh"};
    const Outcome run = world.Run("stowix", options);
    EXPECT_EQ(run.exitCode, 0) << run.Describe();
    EXPECT_EQ(Setting("Preferences", "Drive"), disk);
    QProcess list;
    list.start("mdir", {"-b", "-i", disk, "::/Stowix"});
    list.waitForFinished();
    EXPECT_FALSE(list.readAllStandardOutput().trimmed().isEmpty()) << "no set in the image";

    // The next start opens on the chosen drive without asking: an unattended backup finds it.
    const Outcome next = Run("stowix", {"/U"});
    EXPECT_EQ(next.exitCode, 0) << next.errors.toStdString();
    list.start("mdir", {"-b", "-i", disk, "::/Stowix"});
    list.waitForFinished();
    EXPECT_EQ(list.readAllStandardOutput().trimmed().split('\n').size(), 2);
}

// A restore puts the prefix's registry straight back (Wine never runs WinStart.Bat), and is
// refused while a wineserver of the prefix runs, since it would write its own over them. A
// renamed sleep with the prefix in its environment stands in for Wine's wineserver.
TEST_F(DriveChoiceTest, a_wine_prefix_restores_its_registry_only_without_a_wineserver) {
    const QString prefix = MakeWinePrefix();
    ASSERT_EQ(Run("stowix", {"/U", "--drive", prefix}).exitCode, 0);
    const QString set = SetsIn(prefix + "/drive_c").value(0);
    const QByteArray changed = QByteArray(WineSystemReg).replace("win98", "win10");
    WriteHostFile(prefix + "/system.reg", changed);

    const QString fake = world.Root() + "/bin/wineserver";
    ASSERT_TRUE(QDir().mkpath(world.Root() + "/bin"));
    ASSERT_TRUE(QFile::copy("/bin/sleep", fake));
    QProcess server;
    QProcessEnvironment serverEnvironment = QProcessEnvironment::systemEnvironment();
    serverEnvironment.insert("WINEPREFIX", prefix);
    server.setProcessEnvironment(serverEnvironment);
    server.start(fake, {"120"});
    ASSERT_TRUE(server.waitForStarted());
    const QStringList refused = RestoreWineSet(prefix, set);
    EXPECT_TRUE(refused.join('\n').contains(
        "wineserver (process " + QString::number(server.processId()) + ") runs for the prefix"))
        << refused.join('\n').toStdString();
    EXPECT_EQ(HostBytes(prefix + "/system.reg"), changed);
    server.kill();
    server.waitForFinished();

    const QStringList restored = RestoreWineSet(prefix, set);
    EXPECT_EQ(HostBytes(prefix + "/system.reg"), WineSystemReg)
        << restored.join('\n').toStdString();
    EXPECT_EQ(HostBytes(prefix + "/user.reg"), WineUserReg);
    EXPECT_FALSE(restored.join('\n').contains("incomplete")) << restored.join('\n').toStdString();
    EXPECT_FALSE(QFileInfo::exists(prefix + "/drive_c/Stowix/system.reg"))
        << "the registry was staged for a boot script that Wine never runs";
}

// The single-copy rule holds per drive: a window open on one drive keeps a second copy on that
// drive out, but not the timer's backup of another drive.
TEST_F(DriveChoiceTest, a_window_on_one_drive_leaves_another_drives_backup_alone) {
    const QString other = CopyOfDrive("other");
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    std::unique_ptr<QProcess> window = Start("stowix");
    bool holding = false;
    for (QDeadlineTimer guard(60000); !holding && !guard.hasExpired(); QThread::msleep(50))
        holding = !QDir(RuntimeFolder()).entryList({"stowix*.lock"}, QDir::Files).isEmpty();
    ASSERT_TRUE(holding) << "the window never started";

    const Outcome elsewhere = Run("stowix", {"/U", "--drive", other});
    EXPECT_EQ(elsewhere.exitCode, 0) << elsewhere.errors.toStdString();
    EXPECT_EQ(SetsIn(other).size(), 1);
    const Outcome same = Run("stowix", {"/U"});
    EXPECT_EQ(same.exitCode, 5) << same.errors.toStdString();
    EXPECT_TRUE(SetsIn(driveRoot).isEmpty());

    EXPECT_EQ(window->state(), QProcess::Running);
    window->kill();
    window->waitForFinished();
}

}  // namespace
}  // namespace stowix::test
