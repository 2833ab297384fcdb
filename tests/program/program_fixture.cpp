#include "program/program_fixture.h"

#include "platform/drive_map.h"
#include "platform/posix/posix_file_system.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSettings>

#include <linux/capability.h>
#include <sys/prctl.h>

namespace stowix::test {

namespace {

// The build folder: STOWIX_BUILD_DIR, else the one this test program lies in
// (<build>/tests/program/program_tests).
QString BuildFolder() {
    const QString given = qEnvironmentVariable("STOWIX_BUILD_DIR");
    if (!given.isEmpty()) return given;
    QDir folder = QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath();
    folder.cd("../../..");
    return folder.absolutePath();
}

// The backup's file groups as a user reads them off a Windows 9x drive: the folder (empty for
// the root) and the pattern.
struct Group {
    const char* folder;
    const char* pattern;
};
constexpr Group Groups[] = {
    {"", "Autoexec.Bat"},      {"", "Command.Com"},       {"", "*.Sys"},
    {"WINDOWS", "System.Dat"}, {"WINDOWS", "System.Da0"}, {"WINDOWS", "User.Dat"},
    {"WINDOWS", "User.Da0"},   {"WINDOWS", "*.Bat"},      {"WINDOWS", "*.Com"},
    {"WINDOWS", "*.Grp"},      {"WINDOWS", "*.Ini"},      {"WINDOWS", "*.Pif"},
    {"WINDOWS", "*.Pwl"},      {"WINDOWS", "ShellIconCache"}, {"WINDOWS", "TTFcache"},
};

QString Joined(const QString& folder, const QString& name) {
    return folder.isEmpty() ? name : folder + "\\" + name;
}

}  // namespace

QStringList Names(const FileStates& states) {
    QStringList names;
    for (const auto& [key, state] : states) names << key;
    return names;
}

QStringList Differences(const FileStates& expected, const FileStates& actual) {
    QStringList lines;
    for (const auto& [key, want] : expected) {
        const auto found = actual.find(key);
        if (found == actual.end()) {
            lines << key + ": missing";
            continue;
        }
        const FileState& got = found->second;
        if (got.bytes != want.bytes)
            lines << key + QString(": bytes differ (%1 bytes, expected %2)")
                                 .arg(got.bytes.size())
                                 .arg(want.bytes.size());
        if (got.attributes != want.attributes)
            lines << key + QString(": attributes %1, expected %2")
                                 .arg(got.attributes)
                                 .arg(want.attributes);
        if (got.modified != want.modified)
            lines << key + ": last written " + got.modified.toString(Qt::ISODateWithMs) +
                         ", expected " + want.modified.toString(Qt::ISODateWithMs);
    }
    for (const auto& [key, state] : actual)
        if (!expected.count(key)) lines << key + ": not expected";
    return lines;
}

void DropFileAccessOverride() {
    // The bounding set limits what root holds after exec; without these two it is bound by
    // file modes as any user is. A user without the right to drop them has neither anyway.
    (void)::prctl(PR_CAPBSET_DROP, CAP_DAC_OVERRIDE, 0, 0, 0);
    (void)::prctl(PR_CAPBSET_DROP, CAP_DAC_READ_SEARCH, 0, 0, 0);
}

ProgramTest::ProgramTest() : driveRoot(world.path() + "/drive") {
    const QString folders[] = {"drive", "config", "runtime", "home"};
    for (const QString& folder : folders) QDir(world.path()).mkdir(folder);
    // The runtime folder is the user's private one, as the session manager makes it.
    QFile::setPermissions(RuntimeFolder(),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

    environment = QProcessEnvironment::systemEnvironment();
    // Nothing of the user's or of the test runner's: no display (the test runner sets an
    // offscreen platform for the window tests), no Wine prefix, no other drive or folder.
    for (const QString& name : environment.keys())
        if (name.startsWith("STOWIX_")) environment.remove(name);
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "WINEPREFIX"})
        environment.remove(name);
    environment.insert("HOME", world.path() + "/home");
    environment.insert("XDG_CONFIG_HOME", world.path() + "/config");
    environment.insert("XDG_RUNTIME_DIR", RuntimeFolder());
    environment.insert("STOWIX_DRIVE_C", driveRoot);

    files = MakePosixFileSystem(
        DriveMap({{QChar('C'), QFile::encodeName(driveRoot).toStdString()}}));
}

void ProgramTest::SetUp() {
    const Outcome made = Run("stowix-make-drive", {driveRoot});
    ASSERT_EQ(made.exitCode, 0) << "the drive generator failed: " << made.errors.toStdString();
    ASSERT_TRUE(files->ChangeDrive(QChar('C')).ok());
}

QString ProgramTest::ProgramPath(const QString& program) {
    return BuildFolder() + "/bin/" + program;
}

Outcome ProgramTest::Run(const QString& program, const QStringList& arguments,
                         const std::function<void()>& childModifier) {
    QProcess process;
    process.setProcessEnvironment(environment);
    if (childModifier) process.setChildProcessModifier(childModifier);
    process.start(ProgramPath(program), arguments);
    // A guard against a hang, not a measure of speed.
    if (!process.waitForFinished(120000)) {
        ADD_FAILURE() << program.toStdString() << " " << arguments.join(' ').toStdString()
                      << " did not finish: " << process.errorString().toStdString();
        process.kill();
        process.waitForFinished();
    }
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            QString::fromLocal8Bit(process.readAllStandardOutput()),
            QString::fromLocal8Bit(process.readAllStandardError())};
}

std::unique_ptr<QProcess> ProgramTest::Start(const QString& program,
                                             const QStringList& arguments) {
    auto process = std::make_unique<QProcess>();
    process->setProcessEnvironment(environment);
    process->start(ProgramPath(program), arguments);
    EXPECT_TRUE(process->waitForStarted()) << process->errorString().toStdString();
    return process;
}

QString ProgramTest::SettingsFile() const {
    return world.path() + "/config/Stowix/Stowix.ini";
}

QString ProgramTest::Setting(const QString& section, const QString& key) const {
    if (!QFileInfo::exists(SettingsFile())) return QString();
    QSettings settings(SettingsFile(), QSettings::IniFormat);
    return settings.value(section + "/" + key).toString();
}

QString ProgramTest::HostPath(const QString& relative) const {
    return relative.isEmpty() ? driveRoot : driveRoot + "/" + QString(relative).replace('\\', '/');
}

FileState ProgramTest::StateOf(const QString& relative) {
    FileState state;
    QFile file(HostPath(relative));
    if (file.open(QIODevice::ReadOnly)) state.bytes = file.readAll();
    const Result<int> attributes = files->ReadAttributes("C:\\" + relative);
    if (attributes.ok()) state.attributes = attributes.value();
    state.modified = QFileInfo(file).lastModified().toUTC();
    return state;
}

FileStates ProgramTest::FilesIn(const QString& relativeFolder) {
    FileStates states;
    const QStringList names = QDir(HostPath(relativeFolder))
                                  .entryList(QDir::Files | QDir::Hidden | QDir::System);
    for (const QString& name : names) states[name] = StateOf(Joined(relativeFolder, name));
    return states;
}

QStringList ProgramTest::FoldersIn(const QString& relativeFolder) const {
    return QDir(HostPath(relativeFolder)).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
}

FileStates ProgramTest::WholeDrive() {
    FileStates states;
    QDirIterator found(driveRoot, QDir::Files | QDir::Hidden | QDir::System,
                       QDirIterator::Subdirectories);
    while (found.hasNext()) {
        const QString relative = QDir(driveRoot).relativeFilePath(found.next()).replace('/', '\\');
        states[relative] = StateOf(relative);
    }
    return states;
}

QStringList ProgramTest::GroupSources() const {
    QStringList sources;
    for (const Group& group : Groups) {
        const QRegularExpression pattern(
            QRegularExpression::wildcardToRegularExpression(QString::fromLatin1(group.pattern)),
            QRegularExpression::CaseInsensitiveOption);
        const QString folder = QString::fromLatin1(group.folder);
        const QStringList names =
            QDir(HostPath(folder)).entryList(QDir::Files | QDir::Hidden | QDir::System);
        for (const QString& name : names)
            if (pattern.match(name).hasMatch()) sources << Joined(folder, name);
    }
    return sources;
}

}  // namespace stowix::test
