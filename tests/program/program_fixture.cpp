#include "program/program_fixture.h"

#include "dos/wildcard.h"
#include "fs/drive_map.h"
#include "hostfs/posix_file_system.h"
#include "sets/backup_set_layout.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

#include <linux/capability.h>
#include <sys/prctl.h>

namespace stowix::test {

namespace {

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

ProgramTest::ProgramTest() : driveRoot(world.Drive()), environment(world.Environment()) {
    files =
        MakePosixFileSystem(DriveMap({{QChar('C'), QFile::encodeName(driveRoot).toStdString()}}));
}

void ProgramTest::SetUp() {
    const Outcome made = Run("stowix-make-drive", {driveRoot});
    ASSERT_EQ(made.exitCode, 0) << "the drive generator failed: " << made.errors.toStdString();
    ASSERT_TRUE(files->ChangeDrive(QChar('C')).ok());
}

Outcome ProgramTest::Run(const QString& program, const QStringList& arguments,
                         const std::function<void()>& childModifier) {
    ProcessOptions options;
    options.arguments = arguments;
    options.environment = environment;
    options.childModifier = childModifier;
    return world.Run(program, options);
}

std::unique_ptr<QProcess> ProgramTest::Start(const QString& program, const QStringList& arguments) {
    ProcessOptions options;
    options.arguments = arguments;
    options.environment = environment;
    return world.Start(program, options);
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
    const QStringList names =
        QDir(HostPath(relativeFolder)).entryList(QDir::Files | QDir::Hidden | QDir::System);
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
    for (const SetGroup& group : BackupGroups) {
        const WildcardPattern pattern(QString::fromUtf16(group.pattern));
        // The generated drive's Windows folder is C:\WINDOWS.
        const QString folder =
            group.place == SetPlace::WindowsFolder ? QStringLiteral("WINDOWS") : QString();
        const QStringList names =
            QDir(HostPath(folder)).entryList(QDir::Files | QDir::Hidden | QDir::System);
        for (const QString& name : names)
            if (pattern.Matches(name)) sources << Joined(folder, name);
    }
    return sources;
}

}  // namespace stowix::test
