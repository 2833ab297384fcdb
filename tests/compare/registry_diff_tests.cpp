// The keys and values that differ between two registries given as flat key lists.

#include "compare/registry_diff.h"

#include "support/qt_printers.h"

#include <gtest/gtest.h>

#include <QStringList>

namespace stowix::test {
namespace {

RegistryValue Text(const QString& name, const QByteArray& text) {
    return {name, RegistryType::String, text + '\0'};
}

RegistryValue Number(const QString& name, quint32 number) {
    QByteArray data(4, '\0');
    for (int i = 0; i < 4; ++i) data[i] = char((number >> (8 * i)) & 0xFF);
    return {name, RegistryType::Dword, data};
}

// Every difference as one line, in the order the comparison gives them.
QStringList Lines(const RegistryDifference& difference) {
    QStringList lines;
    for (const QString& key : difference.keysAdded) lines << "+ " + key;
    for (const QString& key : difference.keysRemoved) lines << "- " + key;
    for (const RegistryValueChange& change : difference.values) {
        const char* kind = change.kind == RegistryChangeKind::Added     ? "added"
                           : change.kind == RegistryChangeKind::Removed ? "removed"
                                                                        : "changed";
        lines << change.keyPath + " [" + change.valueName + "] " + kind;
    }
    return lines;
}

const QString RunKey = "HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\RunKey";
const QString Desktop = "HKEY_USERS\\.DEFAULT\\Control Panel\\Desktop";

TEST(RegistryDiff, keys_and_values_that_differ_are_found_without_regard_to_case) {
    const RegistryKeys older{
        {"HKEY_LOCAL_MACHINE", {}},
        {RunKey,
         {Text("SystemTray", "SysTray.Exe"), Text("ScanRegistry", "scanregw.exe /autorun")}},
        {Desktop, {Text("Wallpaper", "(None)"), Number("ScreenSaveActive", 0), Text("", "def")}},
        {"HKEY_LOCAL_MACHINE\\Software\\OldVendor", {Text("Path", "C:\\OLD")}},
    };
    const RegistryKeys newer{
        {"HKEY_LOCAL_MACHINE", {}},
        {RunKey.toUpper(), {Text("SYSTEMTRAY", "SysTray.Exe"), Text("NewDriver", "drv.exe")}},
        {Desktop,
         {Text("Wallpaper", "C:\\WINDOWS\\Clouds.bmp"), Number("ScreenSaveActive", 1),
          Text("", "def")}},
        {"HKEY_LOCAL_MACHINE\\Software\\NewVendor", {Text("Path", "C:\\NEW")}},
        {"HKEY_LOCAL_MACHINE\\Software\\NewVendor\\Sub", {}},
    };
    const RegistryDifference difference = CompareRegistries(older, newer);
    EXPECT_EQ(Lines(difference), (QStringList{"+ HKEY_LOCAL_MACHINE\\Software\\NewVendor",
                                              "+ HKEY_LOCAL_MACHINE\\Software\\NewVendor\\Sub",
                                              "- HKEY_LOCAL_MACHINE\\Software\\OldVendor",
                                              RunKey.toUpper() + " [NewDriver] added",
                                              RunKey.toUpper() + " [ScanRegistry] removed",
                                              Desktop + " [Wallpaper] changed",
                                              Desktop + " [ScreenSaveActive] changed"}));
    EXPECT_EQ(difference.KeyCount(), 3u);
    EXPECT_EQ(difference.ValueCount(), 4u);
}

TEST(RegistryDiff, a_type_change_with_the_same_bytes_is_a_change) {
    RegistryValue binary = Text("Flag", "1");
    binary.type = RegistryType::Binary;
    const RegistryDifference difference =
        CompareRegistries({{Desktop, {Text("Flag", "1")}}}, {{Desktop, {binary}}});
    ASSERT_EQ(difference.values.size(), 1u);
    EXPECT_EQ(difference.values[0].kind, RegistryChangeKind::Changed);
    EXPECT_TRUE(CompareRegistries({{Desktop, {binary}}}, {{Desktop, {binary}}}).Empty());
}

TEST(RegistryDiff, data_is_shown_as_a_person_reads_it) {
    const struct {
        RegistryValue value;
        QString expected;
    } cases[] = {
        {Text("", "C:\\WINDOWS\\Caf\xe9"), QString::fromUtf8("\"C:\\WINDOWS\\Café\"")},
        {Number("", 0x10), "0x00000010 (16)"},
        {{"", RegistryType::Binary, QByteArray("\x01\x02", 2)}, "type 3, 2 bytes: 01 02"},
        {{"", RegistryType::Binary, QByteArray(20, '\xff')},
         "type 3, 20 bytes: ff ff ff ff ff ff ff ff ff ff ff ff ff ff ff ff ..."},
        {{"", RegistryType::Dword, QByteArray("\x01", 1)}, "type 4, 1 byte: 01"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.expected.toStdString());
        EXPECT_EQ(RegistryDataText(c.value), c.expected);
    }
}

}  // namespace
}  // namespace stowix::test
