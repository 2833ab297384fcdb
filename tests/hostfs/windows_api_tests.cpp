// The Windows folder and the restart request on a Linux host.

#include "hostfs/posix_file_system.h"
#include "hostfs/posix_windows_api.h"

#include "host_folder.h"
#include "support/qt_printers.h"

#include <gtest/gtest.h>

#include <QByteArray>
#include <QThread>

namespace stowix::test {
namespace {

// Sets or clears one environment variable for the length of a test.
class ScopedVariable {
public:
    ScopedVariable(const char* name, std::optional<QByteArray> value)
        : m_name(name),
          m_saved(qEnvironmentVariableIsSet(name) ? std::optional<QByteArray>(qgetenv(name))
                                                  : std::nullopt) {
        Apply(value);
    }
    ~ScopedVariable() { Apply(m_saved); }

private:
    void Apply(const std::optional<QByteArray>& value) {
        if (value)
            qputenv(m_name, *value);
        else
            qunsetenv(m_name);
    }
    const char* m_name;
    std::optional<QByteArray> m_saved;
};

class WindowsApiTest : public ::testing::Test {
protected:
    HostFolder drive;
    std::unique_ptr<FileSystem> files =
        MakePosixFileSystem(DriveMap({{QChar(u'C'), drive.Path()}}));
    std::unique_ptr<WindowsApi> api = MakePosixWindowsApi(*files);
    ScopedVariable folderVariable{"STOWIX_WINDOWS_FOLDER", std::nullopt};
    ScopedVariable restartVariable{"STOWIX_RESTART_COMMAND", std::nullopt};

    // The folder the call found, or its failure.
    Result<QString> Found(int size = 255) {
        QString buffer;
        const Result<int> length = TRY(api->GetWindowsDirectoryA(buffer, size));
        return buffer.left(length.value());
    }
    QString WindowsFolder(int size = 255) {
        const Result<QString> found = Found(size);
        return found ? found.value() : QString();
    }
};

TEST_F(WindowsApiTest, the_windows_folder_is_found_in_the_root_of_c_as_stored) {
    EXPECT_EQ(WindowsFolder(), QString());  // none at all
    drive.MakeFile("Windows");              // a file of that name does not count
    drive.MakeFolder("PROGRA~1");
    EXPECT_EQ(WindowsFolder(), QString());
    drive.MakeFolder("windows");
    EXPECT_EQ(WindowsFolder(), QStringLiteral("C:\\windows"));
}

TEST_F(WindowsApiTest, the_windows_folder_in_capitals) {
    drive.MakeFolder("WINDOWS");
    EXPECT_EQ(WindowsFolder(), QStringLiteral("C:\\WINDOWS"));
    EXPECT_EQ(WindowsFolder(10), QStringLiteral("C:\\WINDOWS"));
    EXPECT_EQ(WindowsFolder(9), QString());  // longer than the buffer: 0, as on Windows
    EXPECT_TRUE(Found(9).reason().contains(QLatin1String("longer than 9")));
}

TEST_F(WindowsApiTest, the_variable_names_the_windows_folder_first) {
    drive.MakeFolder("WINDOWS");
    drive.MakeFolder("WIN95");
    const struct {
        const char* value;
        QString reported;
    } cases[] = {
        {"C:\\WIN95", QStringLiteral("C:\\WIN95")},
        {"C:\\WIN95\\", QStringLiteral("C:\\WIN95")},
        {"c:\\win95", QStringLiteral("c:\\win95")},
        {"C:\\", QStringLiteral("C:\\")},
    };
    for (const auto& entry : cases) {
        SCOPED_TRACE(entry.value);
        ScopedVariable variable("STOWIX_WINDOWS_FOLDER", QByteArray(entry.value));
        const Result<QString> found = Found();
        ASSERT_TRUE(found.ok()) << found.reason().toStdString();
        EXPECT_EQ(found.value(), entry.reported);
    }
}

// A Windows folder that cannot be used counts as none, and the reason says what is wrong.
TEST_F(WindowsApiTest, an_unusable_windows_folder_is_none_and_says_why) {
    drive.MakeFolder("WINDOWS");
    drive.MakeFile("WINDOWS/WIN.INI");
    const struct {
        const char* value;  // nullptr: unset
        bool secondFolder;
        const char* says;
    } cases[] = {
        {"C:\\NOWHERE", false, "C:\\NOWHERE"},
        {"C:\\WINDOWS\\WIN.INI", false, "is a file"},
        {"\\WINDOWS", false, "lacks its drive letter"},
        {"WINDOWS", false, "lacks its drive letter"},
        {"\"C:\\WINDOWS\"", false, "quoted"},
        {"D:\\WINDOWS", false, "not configured"},
        {nullptr, true, "C:\\WINDOWS and C:\\windows"},
    };
    for (const auto& entry : cases) {
        SCOPED_TRACE(entry.says);
        ScopedVariable variable(
            "STOWIX_WINDOWS_FOLDER",
            entry.value ? std::optional<QByteArray>(entry.value) : std::nullopt);
        if (entry.secondFolder) drive.MakeFolder("windows");
        const Result<QString> found = Found();
        ASSERT_FALSE(found.ok());
        EXPECT_TRUE(found.reason().contains(QLatin1String(entry.says)))
            << found.reason().toStdString();
    }
}

TEST_F(WindowsApiTest, the_path_is_written_into_the_callers_buffer_as_the_system_writes_it) {
    drive.MakeFolder("WINDOWS");
    QString buffer(20, QChar(u' '));
    const Result<int> written = api->GetWindowsDirectoryA(buffer, buffer.size());
    ASSERT_TRUE(written.ok()) << written.reason().toStdString();
    EXPECT_EQ(written.value(), 10);
    EXPECT_EQ(buffer.size(), 20);
    EXPECT_EQ(buffer.left(10), QStringLiteral("C:\\WINDOWS"));
    EXPECT_EQ(buffer[10], QChar(u'\0'));
}

TEST_F(WindowsApiTest, a_restart_without_a_command_is_refused) {
    EXPECT_FALSE(api->ExitWindowsEx(6, 0));
}

// The request returns at once, as the system call does: the command runs on by itself.
TEST_F(WindowsApiTest, a_restart_starts_the_command_and_does_not_wait_for_it) {
    const std::string marker = drive.Join("restarted");
    {
        ScopedVariable command(
            "STOWIX_RESTART_COMMAND",
            QByteArray::fromStdString("sleep 0.3; echo restart > '" + marker + "'"));
        EXPECT_TRUE(api->ExitWindowsEx(6, 0));
    }
    EXPECT_FALSE(drive.Exists("restarted"));
    for (int tries = 0; tries < 100 && drive.Contents("restarted") != "restart\n"; ++tries)
        QThread::msleep(100);
    EXPECT_EQ(drive.Contents("restarted"), "restart\n");
}

}  // namespace
}  // namespace stowix::test
