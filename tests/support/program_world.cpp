#include "support/program_world.h"

#include "app/qt_settings_store.h"
#include "support/test_paths.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

namespace stowix::test {

namespace {

void MakeFolder(const QString& path, QFile::Permissions permissions = {}) {
    if (!QDir().mkpath(path)) ADD_FAILURE() << "cannot make " << path.toStdString();
    if (permissions) QFile::setPermissions(path, permissions);
}

}  // namespace

std::string RunResult::Describe() const {
    QString text = timedOut ? QStringLiteral("timed out")
                   : killed ? QStringLiteral("killed by a signal")
                            : QStringLiteral("exit status %1").arg(exitCode);
    text += QStringLiteral("\n--- standard output:\n") + output +
            QStringLiteral("\n--- standard error:\n") + errors;
    return text.toStdString();
}

ProgramWorld::ProgramWorld() {
    if (!m_root.isValid()) ADD_FAILURE() << "no temporary folder";
    MakeFolder(Drive());
    MakeFolder(Config());
    // The runtime folder is the user's private one, as the session manager makes it.
    MakeFolder(Runtime(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    MakeFolder(Home());
}

QString ProgramWorld::ProgramPath(const QString& program) {
    return program.contains(u'/') ? program : test::ProgramPath(program);
}

QProcessEnvironment ProgramWorld::Environment() const {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    // Nothing of the user's or of the test runner's: no display (the test runner sets an
    // offscreen platform for the window tests), no Wine prefix, no other drive or folder, no
    // preloaded library.
    for (const QString& name : environment.keys())
        if (name.startsWith(QLatin1String("STOWIX_"))) environment.remove(name);
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "WINEPREFIX",
                             "LD_PRELOAD", "XDG_STATE_HOME"})
        environment.remove(QLatin1String(name));
    environment.insert(QStringLiteral("HOME"), Home());
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), Config());
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), Runtime());
    environment.insert(QStringLiteral("STOWIX_DRIVE_C"), DriveC());
    for (auto it = m_environment.begin(); it != m_environment.end(); ++it)
        environment.insert(it.key(), it.value());
    return environment;
}

std::unique_ptr<QProcess> ProgramWorld::Start(const QString& program,
                                              const ProcessOptions& options) {
    auto process = std::make_unique<QProcess>();
    process->setProcessEnvironment(options.environment ? *options.environment : Environment());
    process->setWorkingDirectory(Root());
    if (options.childModifier) process->setChildProcessModifier(options.childModifier);
    const QString path = ProgramPath(program);
    if (options.wrapper.isEmpty()) {
        process->start(path, options.arguments);
    } else {
        QStringList arguments = options.wrapper.mid(1);
        arguments.append(path);
        arguments += options.arguments;
        process->start(options.wrapper.front(), arguments);
    }
    if (!process->waitForStarted(10000))
        ADD_FAILURE() << program.toStdString()
                      << " did not start: " << process->errorString().toStdString();
    return process;
}

RunResult ProgramWorld::Run(const QString& program, const ProcessOptions& options) {
    RunResult result;
    const std::unique_ptr<QProcess> started = Start(program, options);
    QProcess& process = *started;
    if (process.state() == QProcess::NotRunning && process.error() == QProcess::FailedToStart)
        return result;
    result.processId = process.processId();
    if (options.killAfterMs && !process.waitForFinished(*options.killAfterMs)) {
        process.kill();
        process.waitForFinished(10000);
    }
    if (process.state() != QProcess::NotRunning && !process.waitForFinished(options.timeoutMs)) {
        result.timedOut = true;
        process.kill();
        process.waitForFinished(10000);
    }
    result.killed = !result.timedOut && process.exitStatus() == QProcess::CrashExit;
    result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    result.output = QString::fromUtf8(process.readAllStandardOutput());
    result.errors = QString::fromUtf8(process.readAllStandardError());
    if (result.timedOut)
        ADD_FAILURE() << program.toStdString() << " " << options.arguments.join(u' ').toStdString()
                      << " did not end within " << options.timeoutMs << " ms:\n"
                      << result.Describe();
    return result;
}

QStringList ProgramWorld::ListedNames(const QString& dosFolder) {
    ProcessOptions options;
    options.arguments = {dosFolder};
    const RunResult result = Run(QStringLiteral("stowix-dir"), options);
    if (!result.Ended(0))
        ADD_FAILURE() << "stowix-dir " << dosFolder.toStdString() << ": " << result.Describe();
    QStringList names;
    for (const QString& line : result.output.split(u'\n', Qt::SkipEmptyParts))
        names.append(line.section(u'\\', -1));
    return names;
}

QStringList ProgramWorld::SetNames() const {
    return QDir(BackupRoot())
        .entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden, QDir::Name);
}

QString ProgramWorld::NewSet(const QStringList& before) const {
    QStringList added;
    for (const QString& name : SetNames())
        if (!before.contains(name)) added.append(name);
    return added.size() == 1 ? added.front() : QString();
}

QString ProgramWorld::Setting(const QString& section, const QString& key) const {
    QtSettingsStore store(Config() + QStringLiteral("/Stowix"));
    return store.Read(QStringLiteral("Stowix"), section, key, QString());
}

void ProgramWorld::WriteSetting(const QString& section, const QString& key, const QString& value) {
    QtSettingsStore store(Config() + QStringLiteral("/Stowix"));
    if (Status written = store.Write(QStringLiteral("Stowix"), section, key, value); !written)
        ADD_FAILURE() << "cannot write the setting: " << written.reason().toStdString();
}

}  // namespace stowix::test
