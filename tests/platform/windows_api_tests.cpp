// The Windows folder and the restart request on a Linux host.

#include "platform/posix/posix_windows_api.h"

#include "host_folder.h"
#include "support/qt_printers.h"

#include <gtest/gtest.h>

#include <QByteArray>

namespace stowix::test {
namespace {

// Sets or clears one environment variable for the length of a test.
class ScopedVariable {
public:
    ScopedVariable(const char* name, std::optional<QByteArray> value)
        : m_name(name), m_saved(qEnvironmentVariableIsSet(name)
                                    ? std::optional<QByteArray>(qgetenv(name))
                                    : std::nullopt)
    {
        Apply(value);
    }
    ~ScopedVariable() { Apply(m_saved); }

private:
    void Apply(const std::optional<QByteArray>& value)
    {
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
    std::unique_ptr<WindowsApi> api = MakePosixWindowsApi(DriveMap({{QChar(u'C'), drive.Path()}}));
    ScopedVariable folderVariable{"STOWIX_WINDOWS_FOLDER", std::nullopt};
    ScopedVariable restartVariable{"STOWIX_RESTART_COMMAND", std::nullopt};

    QString WindowsFolder(int size = 255)
    {
        QString buffer;
        const int length = api->GetWindowsDirectoryA(buffer, size);
        return buffer.left(length);
    }
};

TEST_F(WindowsApiTest, the_windows_folder_is_found_in_the_root_of_c_as_stored)
{
    EXPECT_EQ(WindowsFolder(), QString());  // none at all
    drive.MakeFile("Windows");  // a file of that name does not count
    drive.MakeFolder("PROGRA~1");
    EXPECT_EQ(WindowsFolder(), QString());
    drive.MakeFolder("windows");
    EXPECT_EQ(WindowsFolder(), QStringLiteral("C:\\windows"));
}

TEST_F(WindowsApiTest, the_windows_folder_in_capitals)
{
    drive.MakeFolder("WINDOWS");
    EXPECT_EQ(WindowsFolder(), QStringLiteral("C:\\WINDOWS"));
    EXPECT_EQ(WindowsFolder(10), QStringLiteral("C:\\WINDOWS"));
    EXPECT_EQ(WindowsFolder(9), QString());  // longer than the buffer: 0, as on Windows
}

TEST_F(WindowsApiTest, the_variable_names_the_windows_folder_first)
{
    drive.MakeFolder("WINDOWS");
    const struct {
        const char* value;
        QString reported;
    } cases[] = {
        {"D:\\WIN98", QStringLiteral("D:\\WIN98")},
        {"C:\\WIN95\\", QStringLiteral("C:\\WIN95")},
        {"C:\\", QStringLiteral("C:\\")},
    };
    for (const auto& entry : cases) {
        SCOPED_TRACE(entry.value);
        ScopedVariable variable("STOWIX_WINDOWS_FOLDER", QByteArray(entry.value));
        EXPECT_EQ(WindowsFolder(), entry.reported);
    }
}

TEST_F(WindowsApiTest, the_path_is_written_into_the_callers_buffer_as_the_system_writes_it)
{
    drive.MakeFolder("WINDOWS");
    QString buffer(20, QChar(u' '));
    EXPECT_EQ(api->GetWindowsDirectoryA(buffer, buffer.size()), 10);
    EXPECT_EQ(buffer.size(), 20);
    EXPECT_EQ(buffer.left(10), QStringLiteral("C:\\WINDOWS"));
    EXPECT_EQ(buffer[10], QChar(u'\0'));
}

TEST_F(WindowsApiTest, a_restart_without_a_command_is_refused)
{
    EXPECT_FALSE(api->ExitWindowsEx(6, 0));
}

TEST_F(WindowsApiTest, a_restart_runs_the_command_and_takes_its_exit_status)
{
    const std::string marker = drive.Join("restarted");
    {
        ScopedVariable command("STOWIX_RESTART_COMMAND",
                               QByteArray::fromStdString("echo restart > '" + marker + "'"));
        EXPECT_TRUE(api->ExitWindowsEx(6, 0));
    }
    EXPECT_EQ(drive.Contents("restarted"), "restart\n");
    {
        ScopedVariable command("STOWIX_RESTART_COMMAND", QByteArray("exit 3"));
        EXPECT_FALSE(api->ExitWindowsEx(6, 0));
    }
}

}  // namespace
}  // namespace stowix::test
