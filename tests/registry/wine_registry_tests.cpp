// Wine's registry text: the check a set's system.reg, user.reg and userdef.reg get, the plain
// form they are compared in, and putting them back into a prefix, refused while a wineserver
// of that prefix runs.

#include "registry/wine_prefix_files.h"
#include "registry/wine_registry.h"
#include "support/temp_drive.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

namespace stowix::test {
namespace {

const QByteArray Sound =
    "WINE REGISTRY Version 2\n"
    ";; All keys relative to \\\\Machine\n"
    "\n"
    "#arch=win32\n"
    "\n"
    "[Software\\\\Wine] 1700000000\n"
    "#time=1da1b2c3d4e5f60\n"
    "\"Version\"=\"win98\"\n"
    "@=\"default\"\n"
    "\n"
    "[Software\\\\Binary] 1700000001\n"
    "\"Data\"=hex:01,02,03,\\\n"
    "  04,05\n"
    "\"Quoted \\\"name\\\"\"=dword:00000001\n";

TEST(WineRegistryText, is_checked_line_by_line) {
    const struct {
        const char* what;
        QByteArray text;
        bool sound;
        const char* reason;  // part of the reason
    } cases[] = {
        {"sound", Sound, true, ""},
        {"CR LF line ends", QByteArray(Sound).replace("\n", "\r\n"), true, ""},
        {"empty", "", false, "not Wine's registry text"},
        {"a Windows 9x file", "CREG\x00\x00\x01\x00", false, "not Wine's registry text"},
        {"value before any key", "WINE REGISTRY Version 2\n\"a\"=\"b\"\n", false,
         "line 2 is a value before any key"},
        {"string cut short", Sound + "\"Cut\"=\"abc", false, "line 15 is a value cut short"},
        {"continuation cut short", Sound + "\"Cut\"=hex:01,\\\n", false, "value cut short"},
        {"key without bracket", "WINE REGISTRY Version 2\n[Software\\\\Wine 1\n", false,
         "line 2 is neither a key nor a value"},
        {"stray text", Sound + "garbage\n", false, "neither a key nor a value"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const WineRegistryCheck check = CheckWineRegistryText(c.text);
        EXPECT_EQ(check.sound, c.sound) << check.reason.toStdString();
        EXPECT_TRUE(check.reason.contains(QLatin1String(c.reason))) << check.reason.toStdString();
    }
    const WineRegistryCheck sound = CheckWineRegistryText(Sound);
    EXPECT_EQ(sound.keys, 2);
    EXPECT_EQ(sound.values, 4);
}

// Stamps and #time= lines change on every start of Wine, so they are left out; a long value
// is one line; an '=' inside a name does not split it.
TEST(WineRegistryText, reads_as_keys_and_values_without_stamps) {
    EXPECT_EQ(WineRegistryAsIni(Sound),
              "[Software\\\\Wine]\n"
              "\"Version\"=\"win98\"\n"
              "@=\"default\"\n"
              "[Software\\\\Binary]\n"
              "\"Data\"=hex:01,02,03,04,05\n"
              "\"Quoted \\\"name\\\"\"=dword:00000001\n");
    EXPECT_EQ(WineRegistryAsIni("WINE REGISTRY Version 2\n[K] 1\n\"a=b\"=\"c\"\n"),
              "[K]\n\"a\\x3db\"=\"c\"\n");
}

class WinePrefixRestore : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(prefix.isValid());
        for (const char* name : {"system.reg", "user.reg", "userdef.reg"}) {
            Write(prefix.filePath(name), "WINE REGISTRY Version 2\n[Old] 1\n");
            drive.AddFile(Set + "\\" + name, Sound);
        }
    }
    static void Write(const QString& path, const QByteArray& bytes) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }
    static QByteArray Read(const QString& path) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    // A process named wineserver with this environment: the program knows a wineserver by its
    // name and the prefix it serves, so a renamed sleep stands in for Wine's.
    std::unique_ptr<QProcess> FakeWineserver(const QString& winePrefix) {
        const QString program = tools.filePath("wineserver");
        EXPECT_TRUE(QFile::copy("/bin/sleep", program));
        auto process = std::make_unique<QProcess>();
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("WINEPREFIX", winePrefix);
        process->setProcessEnvironment(environment);
        process->start(program, {"60"});
        EXPECT_TRUE(process->waitForStarted());
        return process;
    }

    const QString Set = "C:\\Stowix\\11-5-99 3;45;12 PM";
    TempDrive drive;
    QTemporaryDir prefix;
    QTemporaryDir tools;
};

TEST_F(WinePrefixRestore, puts_the_files_back_directly_when_no_wineserver_runs) {
    ASSERT_FALSE(RunningWineserver(prefix.path()).has_value());
    const Status restored = RestoreWineRegistry(drive.Files(), Set, prefix.path());
    ASSERT_TRUE(restored.ok()) << restored.reason().toStdString();
    for (const char* name : {"system.reg", "user.reg", "userdef.reg"})
        EXPECT_EQ(Read(prefix.filePath(name)), Sound) << name;
    EXPECT_EQ(QDir(prefix.path()).entryList(QDir::Files).size(), 3) << "a temporary file is left";
}

TEST_F(WinePrefixRestore, is_refused_naming_the_wineserver_of_the_prefix) {
    // A wineserver of another prefix does not matter.
    QTemporaryDir otherPrefix;
    std::unique_ptr<QProcess> other = FakeWineserver(otherPrefix.path());
    EXPECT_FALSE(RunningWineserver(prefix.path()).has_value());
    other->kill();
    other->waitForFinished();
    QFile::remove(tools.filePath("wineserver"));

    std::unique_ptr<QProcess> server = FakeWineserver(prefix.path());
    ASSERT_EQ(RunningWineserver(prefix.path()), server->processId());
    const Status refused = RestoreWineRegistry(drive.Files(), Set, prefix.path());
    EXPECT_FALSE(refused.ok());
    EXPECT_TRUE(refused.reason().contains("wineserver (process " +
                                          QString::number(server->processId()) + ")"))
        << refused.reason().toStdString();
    EXPECT_EQ(Read(prefix.filePath("system.reg")), "WINE REGISTRY Version 2\n[Old] 1\n");
    server->kill();
    server->waitForFinished();
}

TEST_F(WinePrefixRestore, takes_nothing_back_from_a_set_without_user_reg) {
    ASSERT_TRUE(drive.Files().DeleteFile(Set + "\\user.reg").ok());
    const Status refused = RestoreWineRegistry(drive.Files(), Set, prefix.path());
    EXPECT_FALSE(refused.ok());
    EXPECT_TRUE(refused.reason().contains("user.reg")) << refused.reason().toStdString();
    EXPECT_EQ(Read(prefix.filePath("system.reg")), "WINE REGISTRY Version 2\n[Old] 1\n");
}

}  // namespace
}  // namespace stowix::test
