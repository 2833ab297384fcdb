// The Qt settings store against a real configuration folder in a temporary place.

#include "app/qt_settings_store.h"
#include "shell/settings.h"
#include "support/qt_printers.h"

#include <gtest/gtest.h>

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <unistd.h>

namespace stowix {
namespace {

const QString App = QStringLiteral("Stowix");

QByteArray ReadHostFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {};
    return file.readAll();
}

void WriteHostFile(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
}

// XDG_CONFIG_HOME points at a fresh temporary folder for each test.
class SettingsStoreTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_home.isValid());
        m_oldConfigHome = qgetenv("XDG_CONFIG_HOME");
        m_hadConfigHome = qEnvironmentVariableIsSet("XDG_CONFIG_HOME");
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_home.path()));
    }
    void TearDown() override {
        if (m_hadConfigHome)
            qputenv("XDG_CONFIG_HOME", m_oldConfigHome);
        else
            qunsetenv("XDG_CONFIG_HOME");
    }
    QString IniPath() const { return m_home.path() + QStringLiteral("/Stowix/Stowix.ini"); }

    QTemporaryDir m_home;
    QByteArray m_oldConfigHome;
    bool m_hadConfigHome = false;
    QtSettingsStore m_store;
};

TEST_F(SettingsStoreTest, values_round_trip_through_the_users_ini_file) {
    const QString values[] = {
        QStringLiteral("C:\\Stowix\\11-5-99 3;45;12 PM before upgrade"),
        QStringLiteral("C:\\Stowix\\05.11.1999 15;45;12 a, b = c"),
        QStringLiteral("  blanks at both ends  "),
        QStringLiteral("@String(looks escaped)"),
        QStringLiteral("\"quoted\" ; # not a comment"),
        QStringLiteral("Umlaute äöü and 日本"),
        QStringLiteral(""),
        QStringLiteral("0"),
    };
    for (const QString& value : values) {
        SCOPED_TRACE(value.toStdString());
        ASSERT_TRUE(m_store.Write(App, "Info", "LastBackup", value).ok());
        EXPECT_EQ(QtSettingsStore().Read(App, "Info", "LastBackup", "None"), value);
    }
    EXPECT_EQ(m_store.FilePath(App), IniPath());
    const QByteArray onDisk = ReadHostFile(IniPath());
    EXPECT_TRUE(onDisk.contains("[Info]")) << onDisk.constData();
    EXPECT_TRUE(onDisk.contains("LastBackup=")) << onDisk.constData();
}

TEST_F(SettingsStoreTest, writing_one_key_keeps_the_others) {
    ASSERT_TRUE(m_store.Write(App, "Info", "LastBackup", "C:\\Stowix\\a").ok());
    ASSERT_TRUE(m_store.Write(App, "Info", "LastDelete", "C:\\Stowix\\b").ok());
    ASSERT_TRUE(m_store.Write(App, "Preferences", "AutoExit", "1").ok());
    ASSERT_TRUE(m_store.Write(App, "Info", "LastDelete", "C:\\Stowix\\c").ok());
    EXPECT_EQ(m_store.Read(App, "Info", "LastBackup", "None"), "C:\\Stowix\\a");
    EXPECT_EQ(m_store.Read(App, "Info", "LastDelete", "None"), "C:\\Stowix\\c");
    EXPECT_EQ(m_store.Read(App, "Preferences", "AutoExit", "True"), "1");
}

TEST_F(SettingsStoreTest, missing_file_section_or_key_gives_the_fallback) {
    EXPECT_EQ(m_store.Read(App, "Info", "LastBackup", "None"), "None");
    EXPECT_FALSE(QFile::exists(IniPath())) << "a read must not create the file";
    ASSERT_TRUE(m_store.Write(App, "Info", "LastBackup", "x").ok());
    EXPECT_EQ(m_store.Read(App, "Info", "LastRestore", "None"), "None");
    EXPECT_EQ(m_store.Read(App, "Preferences", "AutoExit", "True"), "True");
}

TEST_F(SettingsStoreTest, a_hand_edited_file_is_read) {
    // Backslashes are doubled in the file, as the store writes them.
    WriteHostFile(IniPath(),
                  "; edited by hand\r\n[Preferences]\r\nAutoExit = 1\r\n\r\n"
                  "[Info]\r\nLastBackup=C:\\\\Stowix\\\\a, b\r\n");
    EXPECT_EQ(m_store.Read(App, "Preferences", "AutoExit", "True"), "1");
    EXPECT_EQ(m_store.Read(App, "Info", "LastBackup", "None"), "C:\\Stowix\\a, b");
    ASSERT_TRUE(m_store.Write(App, "Info", "LastDelete", "x").ok());
    EXPECT_FALSE(QFile::exists(IniPath() + ".corrupt"));
    EXPECT_EQ(m_store.Read(App, "Preferences", "AutoExit", "True"), "1");
}

TEST_F(SettingsStoreTest, corrupt_file_gives_fallbacks_and_a_write_starts_afresh) {
    const QByteArray corrupt[] = {
        QByteArray("[Info\nLastBackup=C:\\Stowix\\half parsed\n"),
        QByteArray::fromHex("ff00fe5b496e666f5d0a00c3280a4c617374"),
    };
    for (const QByteArray& bytes : corrupt) {
        SCOPED_TRACE(bytes.toHex().toStdString());
        WriteHostFile(IniPath(), bytes);
        QFile::remove(IniPath() + ".corrupt");
        EXPECT_EQ(m_store.Read(App, "Info", "LastBackup", "None"), "None");

        ASSERT_TRUE(m_store.Write(App, "Info", "LastRestore", "C:\\Stowix\\r").ok());
        EXPECT_EQ(m_store.Read(App, "Info", "LastRestore", "None"), "C:\\Stowix\\r");
        EXPECT_EQ(m_store.Read(App, "Info", "LastBackup", "None"), "None");
        EXPECT_EQ(ReadHostFile(IniPath() + ".corrupt"), bytes) << "the user's file is kept aside";
    }
}

TEST_F(SettingsStoreTest, write_into_a_read_only_config_folder_reports_a_failure) {
    if (::geteuid() == 0) GTEST_SKIP() << "permissions do not bind the superuser";
    ASSERT_TRUE(m_store.Write(App, "Info", "LastBackup", "old").ok());
    QFile::setPermissions(m_home.path() + "/Stowix", QFile::ReadOwner | QFile::ExeOwner);
    QFile::setPermissions(IniPath(), QFile::ReadOwner);
    const Status written = m_store.Write(App, "Info", "LastBackup", "new");
    QFile::setPermissions(m_home.path() + "/Stowix",
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    EXPECT_FALSE(written.ok());
    EXPECT_FALSE(written.reason().isEmpty());
    EXPECT_EQ(m_store.Read(App, "Info", "LastBackup", "None"), "old");

    QFile::setPermissions(IniPath(), QFile::ReadOwner | QFile::WriteOwner);
    ASSERT_TRUE(m_store.Write(App, "Info", "LastDelete", "x").ok());
    EXPECT_EQ(m_store.Read(App, "Info", "LastBackup", "None"), "old")
        << "the failed value never reaches the disk later";
}

TEST_F(SettingsStoreTest, write_where_the_config_folder_is_a_file_reports_a_failure) {
    WriteHostFile(m_home.path() + "/Stowix", "not a folder");
    const Status written = m_store.Write(App, "Info", "LastBackup", "x");
    EXPECT_FALSE(written.ok());
    EXPECT_TRUE(written.reason().contains("Stowix")) << written.reason().toStdString();
    EXPECT_EQ(m_store.Read(App, "Info", "LastBackup", "None"), "None");
}

TEST_F(SettingsStoreTest, the_program_keeps_its_keys_under_application_stowix) {
    ASSERT_TRUE(WriteSetting(m_store, SettingsKeys::Info, SettingsKeys::LastBackup,
                             "C:\\Stowix\\11-5-99 3;45;12 PM")
                    .ok());
    EXPECT_EQ(m_store.Read("Stowix", "Info", "LastBackup", "None"),
              "C:\\Stowix\\11-5-99 3;45;12 PM");
    EXPECT_EQ(
        ReadSetting(m_store, SettingsKeys::Info, SettingsKeys::LastDelete, SettingsKeys::None),
        "None");
    EXPECT_TRUE(QFile::exists(IniPath()));
}

}  // namespace
}  // namespace stowix
