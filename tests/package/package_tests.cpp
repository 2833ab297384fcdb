// The Debian package as a user's system meets it. Each test builds the package from this build
// with CPack (the configuration scripts/package.sh uses), and most install it with dpkg into a
// private root folder, so the system's own packages are never touched: lintian's verdict, the
// computed dependencies, the files where the desktop and man find them, the programs run from
// their installed places, the daily backup's unit run as systemd would run it, and a removal
// that leaves nothing behind.

#include "support/test_paths.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QSettings>
#include <QTemporaryDir>

#include <unistd.h>

namespace stowix::test {
namespace {

struct Outcome {
    int exitCode = -1;  // -1 when the program crashed, did not start or did not finish
    QString output;
    QString errors;
};

Outcome RunTool(const QString& program, const QStringList& arguments,
                const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment()) {
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(program, arguments);
    // A guard against a hang, not a measure of speed.
    if (!process.waitForFinished(300000)) {
        ADD_FAILURE() << program.toStdString() << " " << arguments.join(' ').toStdString()
                      << " did not finish: " << process.errorString().toStdString();
        process.kill();
        process.waitForFinished();
    }
    if (process.error() == QProcess::FailedToStart)
        return {-1, QString(), program + ": " + process.errorString()};
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            QString::fromLocal8Bit(process.readAllStandardOutput()),
            QString::fromLocal8Bit(process.readAllStandardError())};
}

std::string Told(const Outcome& outcome) {
    return QString(outcome.output + outcome.errors).toStdString();
}

// The installed commands, as the build lists them ("name=status,...").
QStringList CommandNames() {
    QStringList names;
    for (const QString& item : QStringLiteral(STOWIX_TEST_COMMANDS).split(','))
        names << item.section('=', 0, 0);
    return names;
}

// Every file, link and folder under a folder, as paths relative to it.
QStringList TreeOf(const QString& folder) {
    QStringList paths;
    const QDir::Filters everything =
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot;
    QDirIterator found(folder, everything, QDirIterator::Subdirectories);
    while (found.hasNext()) paths << QDir(folder).relativeFilePath(found.next());
    paths.sort();
    return paths;
}

class PackageTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(work.isValid());
        const QString output = work.path() + "/package";
        const Outcome packed =
            RunTool("cpack", {"--config", BuildDir() + "/CPackConfig.cmake", "-B", output});
        ASSERT_EQ(packed.exitCode, 0) << Told(packed);
        const QStringList built = QDir(output).entryList({"*.deb"}, QDir::Files);
        ASSERT_EQ(built.size(), 2) << Told(packed);
        for (const QString& file : built)
            (file.startsWith("stowix-cli_") ? cli : window) = output + "/" + file;
        ASSERT_FALSE(cli.isEmpty() || window.isEmpty()) << built.join(' ').toStdString();
        root = work.path() + "/root";
    }

    // dpkg on the private root; root's rights are pretended where the test has none.
    Outcome Dpkg(const QStringList& arguments) {
        QStringList command{"dpkg", "--root=" + root, "--force-not-root",
                            "--force-script-chrootless", "--log=/dev/null"};
        command += arguments;
        if (::geteuid() != 0) command.prepend("fakeroot");
        return RunTool(command.takeFirst(), command);
    }

    // Installs the packages (the command line's, and unless told otherwise the window's) into
    // the private root. Its dependencies are the system's, which the
    // root does not hold; AllDependenciesInstallable checks them against the system.
    void Install(bool withWindow = true) {
        for (const char* folder : {"var/lib/dpkg/info", "var/lib/dpkg/updates"})
            ASSERT_TRUE(QDir(root).mkpath(folder));
        for (const char* file : {"var/lib/dpkg/status", "var/lib/dpkg/available"}) {
            QFile empty(root + "/" + file);
            ASSERT_TRUE(empty.open(QIODevice::WriteOnly));
        }
        QStringList packages{cli};
        if (withWindow) packages << window;
        const Outcome installed = Dpkg(QStringList{"--force-depends", "--install"} + packages);
        ASSERT_EQ(installed.exitCode, 0) << Told(installed);
    }

    QString Installed(const QString& path) const { return root + path; }

    QTemporaryDir work;
    QString cli;     // the .deb file of stowix-cli
    QString window;  // the .deb file of stowix, the window
    QString root;    // the private root that Install() installs into
};

TEST_F(PackageTest, lintian_finds_nothing_wrong) {
    // Warnings too: each names something a Debian user would meet (a needless maintainer
    // script, a missing manual page, a bad desktop entry).
    for (const QString& package : {cli, window}) {
        const Outcome checked = RunTool("lintian", {"--fail-on", "error,warning", package});
        EXPECT_EQ(checked.exitCode, 0) << Told(checked);
        EXPECT_EQ(checked.output.toStdString(), "");
    }
}

TEST_F(PackageTest, its_dependencies_are_computed_and_can_be_installed) {
    // dpkg-shlibdeps writes the packages of the libraries the programs link, with versions. The
    // command line's package needs no GUI or X library; the window's depends on it.
    const Outcome depends = RunTool("dpkg-deb", {"--field", cli, "Depends"});
    ASSERT_EQ(depends.exitCode, 0) << Told(depends);
    for (const char* library : {"libc6 (>= ", "libqt6core6 (>= ", "libnbd0 (>= "})
        EXPECT_TRUE(depends.output.contains(library)) << library << " in " << Told(depends);
    for (const char* library :
         {"libqt6gui6", "libqt6widgets6", "libqt6multimedia6", "libx11", "libxcb", "libgl"})
        EXPECT_FALSE(depends.output.contains(library)) << library << " in " << Told(depends);
    const Outcome windowDepends = RunTool("dpkg-deb", {"--field", window, "Depends"});
    for (const char* library : {"libqt6widgets6 (>= ", "libqt6multimedia6 (>= ",
                                "stowix-cli (= " STOWIX_TEST_VERSION ")"})
        EXPECT_TRUE(windowDepends.output.contains(library))
            << library << " in " << Told(windowDepends);
    // qemu-nbd serves the disks in container formats; without it only raw images are read.
    const Outcome recommends = RunTool("dpkg-deb", {"--field", cli, "Recommends"});
    EXPECT_TRUE(recommends.output.contains("qemu-utils")) << Told(recommends);

    const Outcome simulated = RunTool("apt-get", {"install", "--simulate", cli, window});
    EXPECT_EQ(simulated.exitCode, 0) << Told(simulated);
    EXPECT_TRUE(simulated.output.contains("Inst stowix-cli")) << Told(simulated);
    EXPECT_TRUE(simulated.output.contains("Inst stowix ")) << Told(simulated);
}

TEST_F(PackageTest, the_command_line_package_alone_backs_up_and_names_the_window_package) {
    Install(false);
    EXPECT_FALSE(QFileInfo::exists(Installed("/usr/share/applications/stowix.desktop")));
    QProcessEnvironment environment;
    environment.insert("PATH", "/usr/bin:/bin");
    environment.insert("DISPLAY", ":0");
    const Outcome window = RunTool(Installed("/usr/bin/stowix"), {}, environment);
    EXPECT_EQ(window.exitCode, 1) << Told(window);
    EXPECT_EQ(window.errors.count('\n'), 1) << Told(window);
    EXPECT_TRUE(window.errors.contains("the window is in the package stowix")) << Told(window);
}

TEST_F(PackageTest, installs_the_commands_with_their_manual_pages_and_the_desktop_files) {
    Install();
    for (const QString& command : CommandNames()) {
        SCOPED_TRACE(command.toStdString());
        const Outcome version = RunTool(Installed("/usr/bin/" + command), {"--version"});
        EXPECT_EQ(version.exitCode, 0) << Told(version);
        EXPECT_EQ(version.output.toStdString(),
                  command.toStdString() + " " STOWIX_TEST_VERSION "\n");

        // man reports what groff finds wrong on standard error.
        const QString page = Installed("/usr/share/man/man1/" + command + ".1.gz");
        ASSERT_TRUE(QFileInfo::exists(page));
        QProcessEnvironment plain = QProcessEnvironment::systemEnvironment();
        plain.insert("MANWIDTH", "80");
        const Outcome manual = RunTool("man", {"--warnings", "-E", "UTF-8", "-l", page}, plain);
        EXPECT_EQ(manual.exitCode, 0);
        EXPECT_EQ(manual.errors.toStdString(), "");
        for (const char* section : {"SYNOPSIS", "ENVIRONMENT", "EXIT STATUS", "EXAMPLES"}) {
            const QRegularExpression heading(QString("^") + section + "$",
                                             QRegularExpression::MultilineOption);
            EXPECT_TRUE(manual.output.contains(heading)) << section;
        }
    }

    // The program folder holds the program beside its media files.
    const QString programFolder = Installed("/usr/" STOWIX_TEST_PROGRAM_DIR);
    for (const char* file : {"/stowix", "/Stowix1.Avi", "/Stowix1.Wav", "/Stowix2.Wav"})
        EXPECT_TRUE(QFileInfo::exists(programFolder + file)) << file;
    EXPECT_EQ(QFileInfo(Installed("/usr/bin/stowix")).canonicalFilePath(),
              QFileInfo(programFolder + "/stowix").canonicalFilePath());

    const QString entry = Installed("/usr/share/applications/stowix.desktop");
    const Outcome desktop = RunTool("desktop-file-validate", {entry});
    EXPECT_EQ(desktop.exitCode, 0) << Told(desktop);
    EXPECT_EQ(desktop.output.toStdString(), "");
    // "Open with Stowix" in a file manager: a disk file is the command line's drive, and each
    // disk type is one the desktop's MIME database knows.
    QFile mimeDatabase("/usr/share/mime/packages/freedesktop.org.xml");
    ASSERT_TRUE(mimeDatabase.open(QIODevice::ReadOnly)) << "shared-mime-info is not installed";
    const QByteArray knownTypes = mimeDatabase.readAll();
    QFile entryFile(entry);
    ASSERT_TRUE(entryFile.open(QIODevice::ReadOnly));
    const QList<QByteArray> entryLines = entryFile.readAll().split('\n');
    EXPECT_TRUE(entryLines.contains("Exec=stowix %f"));
    QStringList types;
    for (const QByteArray& line : entryLines)
        if (line.startsWith("MimeType="))
            types = QString::fromUtf8(line.mid(9)).split(u';', Qt::SkipEmptyParts);
    EXPECT_EQ(types.size(), 6) << types.join(';').toStdString();
    for (const QString& type : types)
        EXPECT_TRUE(knownTypes.contains(("type=\"" + type + "\"").toUtf8())) << type.toStdString();
    for (const char* size : {"16x16", "32x32"})
        EXPECT_TRUE(
            QFileInfo::exists(Installed("/usr/share/icons/hicolor/") + size + "/apps/stowix.png"))
            << size;

    const QString metainfo = Installed("/usr/share/metainfo/org.stowix.Stowix.metainfo.xml");
    const Outcome appstream = RunTool("appstreamcli", {"validate", "--no-net", metainfo});
    EXPECT_EQ(appstream.exitCode, 0) << Told(appstream);
    QFile metainfoFile(metainfo);
    ASSERT_TRUE(metainfoFile.open(QIODevice::ReadOnly));
    const QByteArray metadata = metainfoFile.readAll();
    for (const QString& command : CommandNames())
        EXPECT_TRUE(metadata.contains(("<binary>" + command + "</binary>").toUtf8()))
            << command.toStdString();
}

TEST_F(PackageTest, the_systemd_units_are_sound) {
    Install();
    // systemd checks the command and the manual page that a unit names on the running system;
    // here they are the private root's.
    QTemporaryDir units;
    ASSERT_TRUE(units.isValid());
    const QString unitFolder = Installed("/usr/lib/systemd/user");
    const QStringList files{"stowix-backup.service", "stowix-backup.timer",
                            "stowix-backup@.service", "stowix-backup@.timer"};
    ASSERT_EQ(QDir(unitFolder).entryList(QDir::Files, QDir::Name), files);
    for (const QString& name : files) {
        QFile unit(unitFolder + "/" + name);
        ASSERT_TRUE(unit.open(QIODevice::ReadOnly)) << name.toStdString();
        QByteArray text = unit.readAll();
        text.replace("\nExecStart=/", ("\nExecStart=" + root + "/").toUtf8());
        QFile copy(units.path() + "/" + name);
        ASSERT_TRUE(copy.open(QIODevice::WriteOnly));
        copy.write(text);
    }
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("MANPATH", Installed("/usr/share/man"));
    environment.insert("XDG_RUNTIME_DIR", units.path());
    // The plain units, and the template's units as an instance for one machine.
    QStringList verified;
    for (const char* name :
         {"stowix-backup.service", "stowix-backup.timer", "stowix-backup@win98-games.service",
          "stowix-backup@win98-games.timer"})
        verified << units.path() + "/" + name;
    const Outcome verify =
        RunTool("systemd-analyze", QStringList{"--user", "verify"} + verified, environment);
    EXPECT_EQ(verify.exitCode, 0) << Told(verify);
    EXPECT_EQ(verify.errors.toStdString(), "");
}

// The settings of a unit file: each key's values, in order.
QMultiMap<QString, QString> UnitSettings(const QString& path) {
    QMultiMap<QString, QString> settings;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) ADD_FAILURE() << "cannot read " << path.toStdString();
    for (const QString& line : QString::fromUtf8(file.readAll()).split('\n')) {
        if (line.startsWith('#') || line.startsWith('[') || !line.contains('=')) continue;
        settings.insert(line.section('=', 0, 0), line.section('=', 1));
    }
    return settings;
}

// The file's variables as systemd reads them; a value may be quoted.
void AddEnvironmentFile(const QString& variables, QProcessEnvironment& environment) {
    for (const QString& line : variables.split('\n')) {
        if (line.startsWith('#') || !line.contains('=')) continue;
        QString value = line.section('=', 1);
        if (value.size() >= 2 && value.startsWith('"') && value.endsWith('"'))
            value = value.mid(1, value.size() - 2);
        environment.insert(line.section('=', 0, 0), value);
    }
}

// One machine's instance of the template, as `systemctl --user start stowix-backup@win98.service`
// runs it: a complete backup, then the prune by the example's rules.
TEST_F(PackageTest, the_backup_service_backs_up_the_drive_of_its_environment_file) {
    Install();
    const QString home = work.path() + "/home";
    const QString config = home + "/.config";
    const QString runtime = work.path() + "/runtime";
    const QString drive = work.path() + "/drive_c";
    for (const QString& folder : QStringList{config + "/Stowix", runtime, drive})
        ASSERT_TRUE(QDir().mkpath(folder));
    const Outcome made = RunTool(ProgramPath("stowix-make-drive"), {drive});
    ASSERT_EQ(made.exitCode, 0) << Told(made);

    // The user's environment file, made from the package's example as its comment says.
    QFile example(Installed("/usr/share/doc/stowix-cli/examples/backup.env"));
    ASSERT_TRUE(example.open(QIODevice::ReadOnly));
    QString variables = QString::fromUtf8(example.readAll());
    const QRegularExpression driveLine("^STOWIX_DRIVE_C=.*$", QRegularExpression::MultilineOption);
    variables.replace(driveLine, "STOWIX_DRIVE_C=" + drive);

    // As systemd runs a user service: its own environment, then the unit's Environment=, then
    // the file's variables, and the command line of ExecStart; no display. %i is the instance.
    const QMultiMap<QString, QString> unit =
        UnitSettings(Installed("/usr/lib/systemd/user/stowix-backup@.service"));
    QProcessEnvironment environment;
    environment.insert("PATH", "/usr/bin:/bin");
    environment.insert("HOME", home);
    environment.insert("XDG_RUNTIME_DIR", runtime);
    for (QString setting : unit.values("Environment")) {
        setting.replace("%i", "win98");
        environment.insert(setting.section('=', 0, 0), setting.section('=', 1));
    }
    ASSERT_EQ(unit.values("EnvironmentFile"), QStringList{"%E/Stowix/%i.env"});
    EXPECT_EQ(environment.value("STOWIX_BACKUP_NAME"), "win98");
    AddEnvironmentFile(variables, environment);
    EXPECT_EQ(environment.value("STOWIX_PRUNE"),
              "--keep-daily 7 --keep-weekly 4 --keep-monthly 12");
    const QStringList command = unit.value("ExecStart").split(' ');
    ASSERT_EQ(command.size(), 1) << unit.value("ExecStart").toStdString();

    const Outcome backup = RunTool(root + command.at(0), {}, environment);
    EXPECT_EQ(backup.exitCode, 0) << Told(backup);
    EXPECT_EQ(backup.errors.toStdString(), "");
    const QStringList sets = QDir(drive + "/Stowix").entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    ASSERT_EQ(sets.size(), 1);
    // The prune ran, and kept the set it must keep.
    EXPECT_EQ(backup.output.toStdString(), QString("keep C:\\Stowix\\" + sets.first() +
                                                   " (the last backup; daily, weekly, monthly)\n")
                                               .toStdString());
    // The first drive's records are where they always were, with the drive they belong to.
    const QSettings settings(config + "/Stowix/Stowix.ini", QSettings::IniFormat);
    EXPECT_EQ(settings.value("Info/LastBackup").toString(), "C:\\Stowix\\" + sets.first());
    EXPECT_EQ(settings.value("Info/Drive").toString(), QFileInfo(drive).canonicalFilePath());
}

TEST_F(PackageTest, removing_it_leaves_nothing_behind) {
    Install();
    const QStringList installed = TreeOf(root);
    ASSERT_TRUE(installed.contains("usr/bin/stowix")) << installed.join('\n').toStdString();

    const Outcome removed = Dpkg({"--remove", "stowix", "stowix-cli"});
    ASSERT_EQ(removed.exitCode, 0) << Told(removed);
    const Outcome purged = Dpkg({"--purge", "stowix", "stowix-cli"});
    ASSERT_EQ(purged.exitCode, 0) << Told(purged);

    QStringList left = TreeOf(root);
    left.removeIf([](const QString& path) { return path == "var" || path.startsWith("var/lib"); });
    EXPECT_EQ(left.join('\n').toStdString(), "");
    for (const char* package : {"stowix", "stowix-cli"}) {
        const Outcome status = Dpkg({"--status", package});
        EXPECT_NE(status.exitCode, 0) << package << " is still known: " << Told(status);
    }
}

}  // namespace
}  // namespace stowix::test
