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

TEST_F(BootScriptTest, a_short_windows_folder_is_written_as_given) {
    drive.AddFolder("C:\\win_98");
    ASSERT_TRUE(WriteBootScript(drive.Files(), "C:\\win_98").ok());

    QByteArray expected = ScriptForWindows;
    expected.replace("C:\\WINDOWS", "C:\\win_98");
    EXPECT_EQ(drive.HostBytes("C:\\win_98\\WinStart.Bat"), expected);
}

// Real-mode DOS, which runs the script, knows only short names: a Windows folder whose name is
// none, on a drive that keeps no short aliases, is refused and the old script left as it was.
TEST_F(BootScriptTest, a_windows_folder_dos_cannot_name_is_refused) {
    for (const QString& folder :
         {QStringLiteral("C:\\My Windows"), QStringLiteral("C:\\WINDOWS98"),
          QString::fromUtf8("C:\\Fenêtres"), QString::fromUtf8("C:\\Ωindows"),
          QStringLiteral("C:\\WIN.DOWS"), QStringLiteral("C:\\WIN+98")}) {
        SCOPED_TRACE(folder.toStdString());
        drive.AddFolder(folder);
        drive.AddFile(folder + "\\WinStart.Bat", "earlier script");

        const Status written = WriteBootScript(drive.Files(), folder);

        EXPECT_FALSE(written.ok());
        EXPECT_TRUE(written.reason().contains("has no name that DOS can use"))
            << written.reason().toStdString();
        EXPECT_EQ(drive.HostBytes(folder + "\\WinStart.Bat"), "earlier script");
    }
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
