// stowix-diff run as a user runs it, after a backup by the built stowix /U: what changed on the
// drive since the set, and between two sets, as text and as JSON, with diff's exit statuses.

#include "program/program_fixture.h"

#include "registry_file_writer.h"
#include "support/changed_registry.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMap>
#include <QRegularExpression>

namespace stowix::test {
namespace {

class DiffProgramTest : public ProgramTest {
protected:
    void SetUp() override {
        ProgramTest::SetUp();
        const Outcome backup = Run("stowix", {"/U"});
        ASSERT_EQ(backup.exitCode, 0) << backup.errors.toStdString();
        setPath = Setting("Info", "LastBackup");
        ASSERT_TRUE(setPath.startsWith("C:\\Stowix\\")) << setPath.toStdString();
        setName = setPath.mid(QString("C:\\Stowix\\").size());
    }

    void Append(const QString& relative, const QByteArray& text) {
        QFile file(HostPath(relative));
        ASSERT_TRUE(file.open(QIODevice::Append)) << relative.toStdString();
        file.write(text);
    }

    // The experiment: a driver line in SYSTEM.INI, CONFIG.SYS deleted, a new INI file, WIN.INI
    // made read-only.
    void ChangeTheDrive() {
        const QByteArray systemIni = StateOf("WINDOWS\\SYSTEM.INI").bytes;
        QByteArray changed = systemIni;
        changed.replace("[386Enh]\r\n", "[386Enh]\r\ndevice=C:\\WINDOWS\\SYSTEM\\NEWDRV.VXD\r\n");
        ASSERT_NE(changed, systemIni) << "the generated SYSTEM.INI has no [386Enh] section";
        QFile file(HostPath("WINDOWS\\SYSTEM.INI"));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(changed);
        file.close();
        ASSERT_TRUE(QFile::remove(HostPath("CONFIG.SYS")));
        Append("WINDOWS\\NEWDRV.INI", "[NewDriver]\r\nPort=378\r\n");
        ASSERT_TRUE(
            files->WriteAttributes("C:\\WINDOWS\\WIN.INI", Attribute::Archive | Attribute::ReadOnly)
                .ok());
    }

    QString setPath;
    QString setName;
};

TEST_F(DiffProgramTest, a_set_and_the_drive_it_was_made_of_are_the_same) {
    for (const QString& named : QStringList{setName, setPath, setPath + "\\"}) {
        SCOPED_TRACE(named.toStdString());
        const Outcome outcome = Run("stowix-diff", {named});
        EXPECT_EQ(outcome.exitCode, 0) << outcome.errors.toStdString();
        EXPECT_EQ(outcome.output.toStdString(), "");
    }
    const Outcome listed = Run("stowix-diff", {"-s", setName});
    EXPECT_EQ(listed.exitCode, 0);
    EXPECT_TRUE(listed.output.contains("\nsame     C:\\WINDOWS\\SYSTEM.DAT\n"))
        << listed.output.toStdString();
}

TEST_F(DiffProgramTest, the_changes_since_the_set_are_told_file_by_file_and_key_by_key) {
    ChangeTheDrive();

    const Outcome outcome = Run("stowix-diff", {setName});

    EXPECT_EQ(outcome.exitCode, 1) << outcome.errors.toStdString();
    const QStringList lines = outcome.output.split('\n', Qt::SkipEmptyParts);
    const QStringList expected{
        "--- " + setPath,
        "+++ drive C:",
        "gone     C:\\CONFIG.SYS",
        "new      C:\\WINDOWS\\NEWDRV.INI",
    };
    for (const QString& line : expected)
        EXPECT_TRUE(lines.contains(line)) << "missing: " << line.toStdString() << "\nin:\n"
                                          << outcome.output.toStdString();
    const qsizetype systemIni = lines.indexOf(QRegularExpression(
        R"(^changed  C:\\WINDOWS\\SYSTEM\.INI  \(size \d+ -> \d+; last written .*\)$)"));
    ASSERT_GE(systemIni, 0) << outcome.output.toStdString();
    EXPECT_EQ(lines.value(systemIni + 1), "    [386Enh] device: + C:\\WINDOWS\\SYSTEM\\NEWDRV.VXD");
    EXPECT_TRUE(lines.contains("changed  C:\\WINDOWS\\WIN.INI  (attributes A--- -> A--R)"))
        << outcome.output.toStdString();
    EXPECT_EQ(lines.filter(QRegularExpression("^(gone|new|changed) ")).size(), 4)
        << outcome.output.toStdString();
}

TEST_F(DiffProgramTest, a_changed_registry_is_told_key_by_key_and_value_by_value) {
    // The drive generator writes SYSTEM.DAT from the generated tree; the experiment added a key,
    // removed one and changed a value.
    QFile systemDat(HostPath("WINDOWS\\SYSTEM.DAT"));
    ASSERT_TRUE(systemDat.open(QIODevice::WriteOnly | QIODevice::Truncate));
    systemDat.write(tools::WriteRegistryFile(ChangedWindows98SystemTree()).bytes);
    systemDat.close();

    const Outcome outcome = Run("stowix-diff", {setName});

    EXPECT_EQ(outcome.exitCode, 1) << outcome.errors.toStdString();
    const QStringList lines = outcome.output.split('\n', Qt::SkipEmptyParts);
    const qsizetype file = lines.indexOf(
        QRegularExpression(R"(^changed  C:\\WINDOWS\\SYSTEM\.DAT  \(size \d+ -> \d+.*\)$)"));
    ASSERT_GE(file, 0) << outcome.output.toStdString();
    // Key paths as the file stores their names; compared here without regard to case.
    const QStringList expected{
        "    registry: 1 key added, 1 key removed, 1 value changed",
        "    + " + AddedRegistryKey,
        "    - " + RemovedRegistryKey,
        "    " + ChangedRegistryKey + ": \"ComputerName\" \"WIN98\" -> \"LABPC\"",
    };
    for (qsizetype i = 0; i < expected.size(); ++i)
        EXPECT_EQ(lines.value(file + 1 + i).compare(expected[i], Qt::CaseInsensitive), 0)
            << "expected: " << expected[i].toStdString() << "\nin:\n"
            << outcome.output.toStdString();
    EXPECT_EQ(lines.filter(QRegularExpression("^(gone|new|changed|trouble) ")).size(), 1)
        << outcome.output.toStdString();

    const Outcome json = Run("stowix-diff", {"--json", setName});
    EXPECT_EQ(json.exitCode, 1) << json.errors.toStdString();
    QMap<QString, QJsonObject> byPlace;
    for (const QJsonValue& entry : QJsonDocument::fromJson(json.output.toUtf8())["files"].toArray())
        byPlace[entry["place"].toString()] = entry.toObject();
    const QJsonObject registry = byPlace["C:\\WINDOWS\\SYSTEM.DAT"]["registry"].toObject();
    EXPECT_EQ(registry["keysAdded"].toArray().size(), 1) << json.output.toStdString();
    EXPECT_EQ(registry["keysRemoved"].toArray().size(), 1) << json.output.toStdString();
    EXPECT_EQ(registry["values"].toArray().size(), 1) << json.output.toStdString();
}

TEST_F(DiffProgramTest, json_carries_the_same_comparison_for_scripts) {
    ChangeTheDrive();

    const Outcome outcome = Run("stowix-diff", {"--json", setPath});

    EXPECT_EQ(outcome.exitCode, 1) << outcome.errors.toStdString();
    QJsonParseError error{};
    const QJsonObject document = QJsonDocument::fromJson(outcome.output.toUtf8(), &error).object();
    ASSERT_EQ(error.error, QJsonParseError::NoError) << outcome.output.toStdString();
    EXPECT_EQ(document["older"].toString(), setPath);
    EXPECT_TRUE(document["differs"].toBool());
    EXPECT_FALSE(document["trouble"].toBool());
    QMap<QString, QJsonObject> byPlace;
    for (const QJsonValue& file : document["files"].toArray())
        byPlace[file["place"].toString()] = file.toObject();
    EXPECT_EQ(byPlace["C:\\CONFIG.SYS"]["change"].toString(), "gone");
    EXPECT_EQ(byPlace["C:\\WINDOWS\\NEWDRV.INI"]["change"].toString(), "new");
    const QJsonObject systemIni = byPlace["C:\\WINDOWS\\SYSTEM.INI"];
    EXPECT_EQ(systemIni["change"].toString(), "changed");
    ASSERT_EQ(systemIni["ini"].toArray().size(), 1);
    const QJsonObject key = systemIni["ini"].toArray()[0].toObject();
    EXPECT_EQ(key["section"].toString(), "386Enh");
    EXPECT_EQ(key["key"].toString(), "device");
    EXPECT_EQ(key["change"].toString(), "added");
    EXPECT_EQ(key["new"].toString(), "C:\\WINDOWS\\SYSTEM\\NEWDRV.VXD");
    EXPECT_EQ(byPlace["C:\\WINDOWS\\WIN.INI"]["differs"].toArray(), QJsonArray{"attributes"});
}

TEST_F(DiffProgramTest, two_sets_are_compared_by_their_files) {
    // A second set: the first one's files copied as the program copies them (contents, time,
    // attributes), then one INI key changed.
    ASSERT_TRUE(files->CreateFolder("C:\\Stowix\\after").ok());
    for (const auto& [name, state] : FilesIn("Stowix\\" + setName)) {
        ASSERT_TRUE(files->CopyFile(setPath + "\\" + name, "C:\\Stowix\\after\\" + name).ok());
        ASSERT_TRUE(files->WriteAttributes("C:\\Stowix\\after\\" + name, state.attributes).ok());
    }
    const QString second = HostPath("Stowix\\after");
    const Outcome copied = Run("stowix-diff", {setName, "after"});
    EXPECT_EQ(copied.exitCode, 0) << copied.output.toStdString() << copied.errors.toStdString();

    QFile winIni(second + "/WIN.INI");
    ASSERT_TRUE(winIni.open(QIODevice::ReadWrite));
    QByteArray bytes = winIni.readAll();
    bytes.replace("Wallpaper=(None)", "Wallpaper=C:\\WINDOWS\\Clouds.bmp");
    winIni.seek(0);
    winIni.write(bytes);
    winIni.close();

    const Outcome outcome = Run("stowix-diff", {setPath, "C:\\Stowix\\after"});
    EXPECT_EQ(outcome.exitCode, 1) << outcome.errors.toStdString();
    EXPECT_TRUE(
        outcome.output.contains("\n    [Desktop] Wallpaper: (None) -> C:\\WINDOWS\\Clouds.bmp\n"))
        << outcome.output.toStdString();
    EXPECT_TRUE(outcome.output.startsWith("--- " + setPath + "\n+++ C:\\Stowix\\after\n"));
}

TEST_F(DiffProgramTest, trouble_is_status_two_with_a_reason) {
    const struct {
        QStringList arguments;
        QString reason;
    } cases[] = {
        {{}, "name a set"},
        {{"a", "b", "c"}, "name one set or two"},
        {{"--frobnicate", setName}, "unknown option --frobnicate"},
        {{"no such set"}, "no backup set C:\\Stowix\\no such set"},
        {{"C:\\Stowix"}, "is not a backup set"},
        {{"C:\\AUTOEXEC.BAT"}, "is a file, not a backup set"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.arguments.join(' ').toStdString());
        const Outcome outcome = Run("stowix-diff", c.arguments);
        EXPECT_EQ(outcome.exitCode, 2);
        EXPECT_TRUE(outcome.errors.contains(c.reason)) << outcome.errors.toStdString();
    }
}

TEST_F(DiffProgramTest, a_missing_windows_folder_is_told_with_its_reason) {
    environment.insert("STOWIX_WINDOWS_FOLDER", "C:\\NOWIN");
    const Outcome outcome = Run("stowix-diff", {setName});
    EXPECT_EQ(outcome.exitCode, 2);
    EXPECT_TRUE(outcome.errors.contains("NOWIN")) << outcome.errors.toStdString();
    EXPECT_TRUE(outcome.errors.contains("Set STOWIX_WINDOWS_FOLDER to the Windows folder"))
        << outcome.errors.toStdString();
}

TEST_F(DiffProgramTest, a_file_that_cannot_be_read_is_trouble_not_sameness) {
    Append("WINDOWS\\SYSTEM.INI", "[extra]\r\nx=1\r\n");
    ASSERT_TRUE(QFile::setPermissions(HostPath("WINDOWS\\SYSTEM.INI"), QFileDevice::WriteOwner));

    const Outcome outcome = Run("stowix-diff", {setName}, DropFileAccessOverride);

    EXPECT_EQ(outcome.exitCode, 2) << outcome.output.toStdString();
    EXPECT_TRUE(outcome.output.contains("SYSTEM.INI")) << outcome.output.toStdString();
    EXPECT_TRUE(outcome.output.contains("trouble")) << outcome.output.toStdString();
}

}  // namespace
}  // namespace stowix::test
