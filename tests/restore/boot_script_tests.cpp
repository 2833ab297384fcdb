// The boot script's exact bytes, and how it replaces whatever was there.

#include "restore/boot_script.h"
#include "support/qt_printers.h"
#include "support/temp_drive.h"

#include <gtest/gtest.h>

namespace stowix::test {
namespace {

const QByteArray ScriptForWindows =
    "@Echo Off\r\n"
    "CTTY Nul\r\n"
    "If Not Exist C:\\Stowix\\*.Da? GoTo Exit\r\n"
    "C:\\WINDOWS\\Command\\Attrib C:\\Stowix\\*.Da? -a -h -r -s\r\n"
    "C:\\WINDOWS\\Command\\Attrib C:\\WINDOWS\\*.Da? -a -h -r -s\r\n"
    "Copy C:\\Stowix\\*.Da? C:\\WINDOWS\r\n"
    "C:\\WINDOWS\\Command\\Attrib C:\\WINDOWS\\*.Da? +a +h +r +s\r\n"
    "Del C:\\Stowix\\*.Da?\r\n"
    ":Exit\r\n"
    "CTTY Con\r\n";

class BootScriptTest : public ::testing::Test {
protected:
    BootScriptTest() { drive.AddFolder("C:\\WINDOWS"); }
    TempDrive drive;
};

TEST_F(BootScriptTest, the_script_is_the_ten_lines_byte_for_byte) {
    ASSERT_TRUE(WriteBootScript(drive.Files(), "C:\\WINDOWS").ok());
    EXPECT_EQ(drive.HostBytes("C:\\WINDOWS\\WinStart.Bat"), ScriptForWindows);
}

TEST_F(BootScriptTest, a_windows_folder_with_blanks_is_written_without_quotes) {
    drive.AddFolder("C:\\My Windows");
    ASSERT_TRUE(WriteBootScript(drive.Files(), "C:\\My Windows").ok());

    QByteArray expected = ScriptForWindows;
    expected.replace("C:\\WINDOWS", "C:\\My Windows");
    EXPECT_EQ(drive.HostBytes("C:\\My Windows\\WinStart.Bat"), expected);
}

TEST_F(BootScriptTest, a_windows_folder_beyond_ascii_is_written_in_the_ansi_code_page) {
    drive.AddFolder(QString::fromUtf8("C:\\Fenêtres"));
    ASSERT_TRUE(WriteBootScript(drive.Files(), QString::fromUtf8("C:\\Fenêtres")).ok());

    const QByteArray bytes = drive.HostBytes(QString::fromUtf8("C:\\Fenêtres\\WinStart.Bat"));
    EXPECT_TRUE(bytes.contains("Copy C:\\Stowix\\*.Da? C:\\Fen\xEAtres\r\n"))
        << bytes.toStdString();
}

TEST_F(BootScriptTest, a_windows_folder_the_code_page_cannot_hold_is_refused) {
    const QString folder = QString::fromUtf8("C:\\Ωindows");
    drive.AddFolder(folder);
    drive.AddFile(folder + "\\WinStart.Bat", "earlier script");

    const Status written = WriteBootScript(drive.Files(), folder);

    EXPECT_FALSE(written.ok());
    EXPECT_TRUE(written.reason().contains("ANSI code page")) << written.reason().toStdString();
    EXPECT_EQ(drive.HostBytes(folder + "\\WinStart.Bat"), "earlier script");
}

TEST_F(BootScriptTest, an_existing_read_only_hidden_script_is_replaced_entirely) {
    const struct {
        QString storedName;
        int attributes;
    } cases[] = {
        {"WinStart.Bat", Attribute::ReadOnly | Attribute::Hidden},
        {"WINSTART.BAT",
         Attribute::ReadOnly | Attribute::Hidden | Attribute::System | Attribute::Archive},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.storedName.toStdString());
        drive.AddFile("C:\\WINDOWS\\" + c.storedName,
                      "a much longer script of someone else's that must not survive in part\r\n",
                      c.attributes);

        ASSERT_TRUE(WriteBootScript(drive.Files(), "C:\\WINDOWS").ok());

        EXPECT_EQ(drive.HostNames("C:\\WINDOWS"), QStringList({"WinStart.Bat"}))
            << "one script, under the name the program gives it";
        EXPECT_EQ(drive.HostBytes("C:\\WINDOWS\\WinStart.Bat"), ScriptForWindows);
        drive.AddFile("C:\\WINDOWS\\WinStart.Bat", "");
        ASSERT_TRUE(drive.Files().DeleteFile("C:\\WINDOWS\\WinStart.Bat").ok());
    }
}

}  // namespace
}  // namespace stowix::test
