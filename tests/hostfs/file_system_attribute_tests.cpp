// DOS attributes as the host stores them: user.DOSATTRIB bytes, write bits, folder type.

#include "drive_fixture.h"

#include <sched.h>
#include <sys/mount.h>

namespace stowix::test {
namespace {

using AttributeTest = DriveTest;

TEST_F(AttributeTest, hidden_system_and_archive_are_stored_as_wine_writes_them) {
    drive.MakeFile("F");
    const struct {
        int value;
        std::optional<std::string> stored;
    } cases[] = {
        {0x26, "0x26"},
        {Attribute::Hidden, "0x2"},
        {Attribute::System | Attribute::Archive, "0x24"},
        {Attribute::Archive, "0x20"},
        {Attribute::ReadOnly | Attribute::Hidden, "0x2"},
        {0, std::nullopt},  // no value at all once the bits are clear
        {Attribute::ReadOnly, std::nullopt},
    };
    for (const auto& entry : cases) {
        SCOPED_TRACE(entry.value);
        ASSERT_TRUE(Succeeded(files->WriteAttributes(QStringLiteral("C:\\F"), entry.value)));
        EXPECT_EQ(drive.DosAttribute("F"), entry.stored);
        Result<int> read = files->ReadAttributes(QStringLiteral("C:\\F"));
        ASSERT_TRUE(Succeeded(read));
        EXPECT_EQ(read.value(), entry.value);
    }
}

TEST_F(AttributeTest, read_only_is_the_absence_of_every_write_bit) {
    drive.MakeFile("F");
    ::chmod(drive.Join("F").c_str(), 0664);
    ASSERT_TRUE(Succeeded(files->WriteAttributes(QStringLiteral("C:\\F"), Attribute::ReadOnly)));
    EXPECT_EQ(drive.Permissions("F"), mode_t(0444));
    ASSERT_TRUE(Succeeded(files->WriteAttributes(QStringLiteral("C:\\F"), 0)));
    EXPECT_EQ(drive.Permissions("F"), mode_t(0644));  // the owner gets write back, no one else

    // Any write bit at all makes a file writable.
    ::chmod(drive.Join("F").c_str(), 0402);
    EXPECT_EQ(files->ReadAttributes(QStringLiteral("C:\\F")).value(), 0);
    ::chmod(drive.Join("F").c_str(), 0555);
    EXPECT_EQ(files->ReadAttributes(QStringLiteral("C:\\F")).value(), Attribute::ReadOnly);
    ASSERT_TRUE(Succeeded(files->WriteAttributes(QStringLiteral("C:\\F"), Attribute::ReadOnly)));
    EXPECT_EQ(drive.Permissions("F"), mode_t(0555));
}

TEST_F(AttributeTest, samba_and_wine_values_are_read) {
    using namespace std::string_literals;
    drive.MakeFile("SAMBA");
    drive.SetExtendedAttribute("SAMBA", "0x22\0\x04\0\x04\0\0\0\x22\0\0\0"s);
    EXPECT_EQ(files->ReadAttributes(QStringLiteral("C:\\SAMBA")).value(),
              Attribute::Hidden | Attribute::Archive);
    drive.MakeFile("WINE");
    drive.SetExtendedAttribute("WINE", "0x6");
    EXPECT_EQ(files->ReadAttributes(QStringLiteral("C:\\WINE")).value(),
              Attribute::Hidden | Attribute::System);
}

TEST_F(AttributeTest, a_folder_carries_the_folder_bit_from_its_type) {
    drive.MakeFolder("SUB");
    EXPECT_EQ(files->ReadAttributes(QStringLiteral("C:\\SUB")).value(), Attribute::Folder);
    EXPECT_EQ(files->ReadAttributes(QStringLiteral("C:\\")).value(), Attribute::Folder);
    ASSERT_TRUE(Succeeded(
        files->WriteAttributes(QStringLiteral("C:\\SUB"), Attribute::Folder | Attribute::Hidden)));
    EXPECT_EQ(drive.DosAttribute("SUB"), std::optional<std::string>("0x2"));
    EXPECT_EQ(files->ReadAttributes(QStringLiteral("C:\\Sub")).value(),
              Attribute::Folder | Attribute::Hidden);
    // The folder bit on a file is ignored, not stored.
    drive.MakeFile("F");
    ASSERT_TRUE(Succeeded(files->WriteAttributes(QStringLiteral("C:\\F"), Attribute::Folder)));
    EXPECT_EQ(files->ReadAttributes(QStringLiteral("C:\\F")).value(), 0);
}

TEST_F(AttributeTest, bits_that_are_no_dos_attribute_are_refused_not_dropped) {
    drive.MakeFile("F");
    for (int value : {8, 64, 128, 0x22 | 0x100}) {
        SCOPED_TRACE(value);
        EXPECT_FALSE(Succeeded(files->WriteAttributes(QStringLiteral("C:\\F"), value)));
    }
    EXPECT_FALSE(drive.DosAttribute("F").has_value());
}

TEST_F(AttributeTest, a_missing_file_has_no_attributes) {
    EXPECT_FALSE(Succeeded(files->ReadAttributes(QStringLiteral("C:\\MISSING"))));
    EXPECT_FALSE(Succeeded(files->WriteAttributes(QStringLiteral("C:\\MISSING"), 2)));
    EXPECT_FALSE(Succeeded(files->ReadAttributes(QString())));
}

// A file system without user extended attributes (ramfs), mounted in this process's own mount
// namespace so that nothing outside sees it.
class NoExtendedAttributesTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (::unshare(CLONE_NEWNS) != 0 ||
            ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
            ::mount("stowix-test", mountPoint.Path().c_str(), "ramfs", 0, nullptr) != 0)
            GTEST_SKIP() << "cannot mount a ramfs here (needs root)";
        mounted = true;
        files = MakePosixFileSystem(DriveMap({{QChar(u'C'), mountPoint.Path()}}));
    }
    void TearDown() override {
        files.reset();
        if (mounted) ::umount2(mountPoint.Path().c_str(), MNT_DETACH);
    }

    HostFolder mountPoint;
    bool mounted = false;
    std::unique_ptr<FileSystem> files;
};

TEST_F(NoExtendedAttributesTest, hidden_system_or_archive_fail_with_a_clear_reason) {
    ASSERT_TRUE(Succeeded(files->WriteTextFile(QStringLiteral("C:\\F"), {})));
    for (int value : {Attribute::Hidden, Attribute::System, Attribute::Archive, 0x27}) {
        SCOPED_TRACE(value);
        const Status written = files->WriteAttributes(QStringLiteral("C:\\F"), value);
        EXPECT_FALSE(written.ok());
        EXPECT_TRUE(written.reason().contains(QStringLiteral("can store neither")))
            << written.reason().toStdString();
        // The refusal leaves the file as it was.
        EXPECT_EQ(files->ReadAttributes(QStringLiteral("C:\\F")).value(), 0);
    }
    EXPECT_TRUE(Succeeded(files->WriteAttributes(QStringLiteral("C:\\F"), Attribute::ReadOnly)));
    EXPECT_EQ(files->ReadAttributes(QStringLiteral("C:\\F")).value(), Attribute::ReadOnly);
    EXPECT_TRUE(Succeeded(files->WriteAttributes(QStringLiteral("C:\\F"), 0)));
    EXPECT_EQ(files->ReadAttributes(QStringLiteral("C:\\F")).value(), 0);
}

}  // namespace
}  // namespace stowix::test
