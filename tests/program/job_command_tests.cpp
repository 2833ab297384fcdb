// The window's jobs from the command line, through the built programs on a generated Windows 98
// drive: stowix-backup, stowix-list, stowix-restore (then stowix-boot, as the next start of
// Windows) and stowix-delete; and what "stowix /U" and the commands load.

#include "program/program_fixture.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

namespace stowix::test {
namespace {

constexpr int ArchiveHiddenSystemReadOnly = 39;

class JobCommandTest : public ProgramTest {
protected:
    // The sets as stowix-list --json gives them, read by a JSON reader.
    QJsonArray ListedSets() {
        const Outcome listed = Run("stowix-list", {"--json"});
        EXPECT_EQ(listed.exitCode, 0) << listed.Describe();
        QJsonParseError error;
        const QJsonDocument document = QJsonDocument::fromJson(listed.output.toUtf8(), &error);
        EXPECT_EQ(error.error, QJsonParseError::NoError) << listed.output.toStdString();
        EXPECT_TRUE(document.isArray());
        return document.array();
    }

    static QJsonObject Named(const QJsonArray& sets, const QString& name) {
        for (const QJsonValue& set : sets)
            if (set.toObject().value("name").toString() == name) return set.toObject();
        return {};
    }

    // The backup groups' files of the generated drive as they are now, with the attributes the
    // boot script gives the registry files when it puts them in place.
    FileStates Configuration() {
        FileStates states;
        for (const QString& source : sources) {
            FileState state = StateOf(source);
            const bool registry = source.startsWith("WINDOWS\\") &&
                                  source.section('.', -1).startsWith("DA", Qt::CaseInsensitive);
            if (registry) state.attributes = ArchiveHiddenSystemReadOnly;
            states[source] = state;
        }
        return states;
    }

    static QJsonObject Undo(const QJsonArray& sets, const QString& except = {}) {
        for (const QJsonValue& set : sets)
            if (set.toObject().value("undo").toBool() &&
                set.toObject().value("name").toString() != except)
                return set.toObject();
        return {};
    }

    void Append(const QString& relative, const QByteArray& bytes) {
        QFile file(HostPath(relative));
        ASSERT_TRUE(file.open(QIODevice::Append));
        file.write(bytes);
    }

    // Restores a set from the command line, then starts "Windows" once.
    QStringList sources;

    void RestoreAndBoot(const QString& set) {
        const Outcome restored = Run("stowix-restore", {set});
        ASSERT_EQ(restored.exitCode, 0) << restored.Describe();
        EXPECT_TRUE(restored.output.contains("keeping what the restore replaces in C:\\Stowix\\"))
            << restored.output.toStdString();
        EXPECT_TRUE(restored.output.contains("run stowix-boot")) << restored.output.toStdString();
        const Outcome boot = Run("stowix-boot");
        ASSERT_EQ(boot.exitCode, 0) << boot.Describe();
    }
};

TEST_F(JobCommandTest, wrong_command_lines_and_sets_are_refused_and_change_nothing) {
    struct Case {
        QString program;
        QStringList arguments;
        int status;
        QString told;  // on standard error
    };
    const QList<Case> cases = {
        {"stowix-restore", {}, 1, "needs the set to restore"},
        {"stowix-restore", {"a", "b"}, 1, "one set at a time"},
        {"stowix-restore", {"-x", "a"}, 1, "no such option"},
        {"stowix-restore", {"no such set"}, 2, "C:\\Stowix\\no such set: no such backup set"},
        {"stowix-restore", {"C:\\WINDOWS"}, 2, "no such backup set"},
        {"stowix-restore", {"C:\\Stowix\\..\\WINDOWS"}, 2, "no such backup set"},
        {"stowix-restore", {"--dry-run", "latest"}, 2, "holds no backup set"},
        {"stowix-delete", {}, 1, "needs the sets to delete"},
        {"stowix-delete", {"gone"}, 2, "C:\\Stowix\\gone: no such backup set"},
        {"stowix-delete", {"C:\\WINDOWS"}, 2, "no such backup set"},
        {"stowix-list", {"extra"}, 1, "takes no such argument"},
        {"stowix-backup", {"--comment"}, 1, "--comment needs a text"},
        {"stowix-backup", {"--comment", "a/b"}, 1, "cannot name a set"},
        {"stowix-backup", {"--comment", "CON"}, 1, "cannot name a set"},
        {"stowix-backup", {"extra"}, 1, "takes no such argument"},
    };
    const FileStates before = WholeDrive();
    for (const Case& c : cases) {
        SCOPED_TRACE(QString(c.program + " " + c.arguments.join(' ')).toStdString());
        const Outcome outcome = Run(c.program, c.arguments);
        EXPECT_EQ(outcome.exitCode, c.status) << outcome.Describe();
        EXPECT_TRUE(outcome.errors.contains(c.told)) << outcome.errors.toStdString();
        EXPECT_EQ(outcome.output.toStdString(), "");
    }
    const QStringList changed = Differences(before, WholeDrive());
    EXPECT_TRUE(changed.isEmpty()) << changed.join('\n').toStdString();
    EXPECT_FALSE(QDir(HostPath("Stowix")).exists());

    const Outcome empty = Run("stowix-list");
    EXPECT_EQ(empty.exitCode, 0) << empty.Describe();
    EXPECT_EQ(empty.output.toStdString(), "C:\\Stowix holds no backup sets\n");
    EXPECT_TRUE(ListedSets().isEmpty());
}

TEST_F(JobCommandTest, backup_list_restore_undo_and_delete_from_the_command_line) {
    sources = GroupSources();
    const FileStates atBackup = Configuration();
    const Outcome backup = Run("stowix-backup", {"--comment", "before the driver"});
    ASSERT_EQ(backup.exitCode, 0) << backup.Describe();
    ASSERT_EQ(FoldersIn("Stowix").size(), 1);
    const QString set = FoldersIn("Stowix").first();
    EXPECT_TRUE(set.endsWith(" before the driver")) << set.toStdString();
    const QRegularExpression line("^(.+): (\\d+) files, (\\d+) bytes, [0-9.]+ seconds\n$");
    const QRegularExpressionMatch said = line.match(backup.output);
    ASSERT_TRUE(said.hasMatch()) << backup.output.toStdString();
    EXPECT_EQ(said.captured(1), set);
    // The set's own record (STOWIX.SET) is no file of the drive's, and is not counted.
    FileStates inSet = FilesIn("Stowix\\" + set);
    ASSERT_EQ(inSet.erase(QStringLiteral("STOWIX.SET")), 1u);
    qint64 bytes = 0;
    for (const auto& [name, state] : inSet) bytes += state.bytes.size();
    EXPECT_EQ(said.captured(2).toInt(), int(inSet.size()));
    EXPECT_EQ(said.captured(3).toLongLong(), bytes);
    EXPECT_EQ(Setting("Info", "LastBackup"), "C:\\Stowix\\" + set);

    QJsonObject listed = Named(ListedSets(), set);
    EXPECT_EQ(listed.value("comment").toString(), "before the driver");
    EXPECT_EQ(listed.value("files").toInt(), int(inSet.size()));
    EXPECT_EQ(listed.value("bytes").toDouble(), double(bytes));
    EXPECT_TRUE(listed.value("lastBackup").toBool());
    EXPECT_FALSE(listed.value("undo").toBool());
    EXPECT_TRUE(listed.value("time").isString()) << "the set's name gave no time";

    // The experiment that went wrong; the registry stays sound, so that the undo set's is too.
    Append("WINDOWS\\WIN.INI", "[Broken]\r\nDriver=yes\r\n");
    Append("CONFIG.SYS", "DEVICE=BROKEN.SYS\r\n");
    const FileStates changed = Configuration();

    RestoreAndBoot("latest");
    QStringList differences = Differences(atBackup, Configuration());
    EXPECT_TRUE(differences.isEmpty()) << "not as at the backup:\n"
                                       << differences.join('\n').toStdString();
    EXPECT_EQ(Setting("Info", "LastRestore"), "C:\\Stowix\\" + set);

    const QJsonArray sets = ListedSets();
    ASSERT_EQ(sets.size(), 2);
    EXPECT_TRUE(Named(sets, set).value("lastRestore").toBool());
    const QJsonObject undo = Undo(sets);
    EXPECT_EQ(undo.value("comment").toString(), "before restore");
    EXPECT_FALSE(Named(sets, set).value("undo").toBool());
    const QString undoName = undo.value("name").toString();
    ASSERT_FALSE(undoName.isEmpty());

    // "latest" is the user's set, never the undo set; the undo set is restored by its name.
    RestoreAndBoot(undoName);
    differences = Differences(changed, Configuration());
    EXPECT_TRUE(differences.isEmpty()) << "the restore was not undone:\n"
                                       << differences.join('\n').toStdString();

    const Outcome deleted = Run("stowix-delete", {set, "C:\\Stowix\\" + undoName});
    EXPECT_EQ(deleted.exitCode, 0) << deleted.Describe();
    EXPECT_EQ(deleted.output.count("stowix-delete: deleted C:\\Stowix\\"), 2)
        << deleted.output.toStdString();
    // Only the set that the second restore kept first is left.
    const QJsonArray left = ListedSets();
    EXPECT_EQ(left.size(), 1);
    EXPECT_FALSE(Undo(left, undoName).isEmpty());
}

// A backup that broke off is no set to restore by default: "latest" is the newest complete one.
TEST_F(JobCommandTest, latest_passes_over_an_incomplete_set) {
    ASSERT_EQ(Run("stowix-backup").exitCode, 0);
    const QString complete = FoldersIn("Stowix").value(0);
    Append("WINDOWS\\WIN.INI", "[Half done]\r\n");
    ASSERT_EQ(Run("stowix-backup").exitCode, 0);
    QStringList sets = FoldersIn("Stowix");
    sets.removeOne(complete);
    ASSERT_EQ(sets.size(), 1);
    QFile record(HostPath("Stowix\\" + sets.first() + "\\STOWIX.SET"));
    ASSERT_TRUE(record.open(QIODevice::ReadOnly));
    QByteArray text = record.readAll();
    record.close();
    ASSERT_TRUE(text.contains("Complete=Yes"));
    ASSERT_TRUE(record.open(QIODevice::WriteOnly | QIODevice::Truncate));
    record.write(text.replace("Complete=Yes", "Complete=No"));
    record.close();

    RestoreAndBoot("latest");
    EXPECT_EQ(Setting("Info", "LastRestore"), "C:\\Stowix\\" + complete);
    QFile winIni(HostPath("WINDOWS\\WIN.INI"));
    ASSERT_TRUE(winIni.open(QIODevice::ReadOnly));
    EXPECT_FALSE(winIni.readAll().contains("[Half done]"));
}

TEST_F(JobCommandTest, a_dry_run_shows_the_details_and_changes_no_byte) {
    ASSERT_EQ(Run("stowix-backup").exitCode, 0);
    const QString set = FoldersIn("Stowix").value(0);
    Append("WINDOWS\\WIN.INI", "[Broken]\r\n");
    QFile settingsFile(SettingsFile());
    ASSERT_TRUE(settingsFile.open(QIODevice::ReadOnly));
    const QByteArray settings = settingsFile.readAll();
    settingsFile.close();
    const FileStates before = WholeDrive();

    const Outcome dryRun = Run("stowix-restore", {"--dry-run", set});

    EXPECT_EQ(dryRun.exitCode, 0) << dryRun.Describe();
    EXPECT_TRUE(dryRun.output.contains("WIN.INI")) << dryRun.output.toStdString();
    EXPECT_TRUE(dryRun.output.contains("before restore: restore that set to undo the restore"))
        << dryRun.output.toStdString();
    const QStringList changed = Differences(before, WholeDrive());
    EXPECT_TRUE(changed.isEmpty()) << changed.join('\n').toStdString();
    EXPECT_EQ(FoldersIn("Stowix"), QStringList{set});
    ASSERT_TRUE(settingsFile.open(QIODevice::ReadOnly));
    EXPECT_EQ(settingsFile.readAll(), settings);
}

TEST_F(JobCommandTest, a_damaged_registry_is_restored_only_with_force) {
    ASSERT_EQ(Run("stowix-backup").exitCode, 0);
    const QString set = FoldersIn("Stowix").value(0);
    {
        QFile systemDat(HostPath("Stowix\\" + set + "\\SYSTEM.DAT"));
        ASSERT_TRUE(systemDat.open(QIODevice::ReadWrite));
        systemDat.write("not a registry");
    }
    const FileStates before = WholeDrive();
    const Outcome refused = Run("stowix-restore", {set});
    EXPECT_EQ(refused.exitCode, 4) << refused.Describe();
    EXPECT_TRUE(refused.errors.contains("damaged")) << refused.errors.toStdString();
    const QStringList changed = Differences(before, WholeDrive());
    EXPECT_TRUE(changed.isEmpty()) << changed.join('\n').toStdString();

    const Outcome forced = Run("stowix-restore", {"--force", set});
    EXPECT_EQ(forced.exitCode, 0) << forced.Describe();
    EXPECT_EQ(FilesIn("Stowix")["SYSTEM.DAT"].bytes.left(14), "not a registry");
}

// The libraries the dynamic loader brought into a run, from its own report.
QStringList LoadedLibraries(const QString& reportPrefix) {
    QStringList loaded;
    const QFileInfo prefix(reportPrefix);
    for (const QFileInfo& report :
         QDir(prefix.absolutePath()).entryInfoList({prefix.fileName() + ".*"}, QDir::Files)) {
        QFile file(report.filePath());
        if (!file.open(QIODevice::ReadOnly)) continue;
        for (const QByteArray& line : file.readAll().split('\n'))
            if (line.contains("calling init: "))
                loaded << QString::fromLocal8Bit(line).section(':', -1).trimmed();
    }
    return loaded;
}

TEST_F(JobCommandTest, the_unattended_backup_and_the_commands_load_no_gui_library) {
    const QRegularExpression gui("lib(Qt6Widgets|Qt6Gui|Qt6Multimedia|X11|xcb|GL|EGL)[^/]*$");
    const QList<QStringList> runs = {{"stowix", "/U"},
                                     {"stowix-backup"},
                                     {"stowix-list"},
                                     {"stowix-restore", "--dry-run", "latest"},
                                     {"stowix-delete", "gone"}};
    for (const QStringList& run : runs) {
        SCOPED_TRACE(run.join(' ').toStdString());
        const QString report = world.Root() + "/loader-" + run.first();
        environment.insert("LD_DEBUG", "libs");
        environment.insert("LD_DEBUG_OUTPUT", report);
        const Outcome outcome = Run(run.first(), run.mid(1));
        EXPECT_TRUE(outcome.exitCode == 0 || run.first() == "stowix-delete") << outcome.Describe();
        const QStringList loaded = LoadedLibraries(report);
        EXPECT_TRUE(loaded.filter(QRegularExpression("libQt6Core")).size() == 1)
            << "no report of the loader: " << loaded.join('\n').toStdString();
        const QStringList guiLoaded = loaded.filter(gui);
        EXPECT_TRUE(guiLoaded.isEmpty()) << guiLoaded.join('\n').toStdString();
    }
}

}  // namespace
}  // namespace stowix::test
