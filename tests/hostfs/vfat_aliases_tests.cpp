// The short names that a kernel FAT mount keeps: which entry's alias answers a name, and the
// aliases read from a real mount where this machine can make one.

#include "hostfs/vfat_aliases.h"

#include "drive_fixture.h"

#include <QFile>

#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <vector>

namespace stowix::test {
namespace {

using posix::AliasAmong;
using posix::VfatNames;

std::optional<std::string> AliasIn(const std::vector<VfatNames>& entries, const std::string& name) {
    std::size_t at = 0;
    return AliasAmong(
        [&](VfatNames& entry) {
            if (at == entries.size()) return false;
            entry = entries[at++];
            return true;
        },
        name);
}

TEST(VfatAliases, the_entry_is_found_by_its_long_or_short_name_in_any_case) {
    const std::vector<VfatNames> folder = {
        {".", ""},
        {"WINDOWS", ""},
        {"MYWIND~1", "My Windows Folder"},
        {"MYWIND~2", "My Windows Folder 2"},
        {"PROGRA~1", "Program Files"},
    };
    const struct {
        const char* name;
        std::optional<std::string> alias;
    } cases[] = {
        {"My Windows Folder", "MYWIND~1"},
        {"my windows folder", "MYWIND~1"},
        {"My Windows Folder 2", "MYWIND~2"},
        {"MYWIND~2", "MYWIND~2"},
        {"windows", "WINDOWS"},
        {"Program", std::nullopt},
        {"My Windows", std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(AliasIn(folder, c.name), c.alias);
    }
    EXPECT_EQ(AliasIn({}, "WINDOWS"), std::nullopt);
}

// A FAT image mounted through a loop device for the length of a test; Mounted() is false, and
// Why() says why, where this machine cannot (no root, no loop device, no vfat in the kernel).
class FatMount {
public:
    explicit FatMount(const HostFolder& work)
        : m_image(work.Join("fat.img")), m_point(work.Join("mnt")) {
        work.MakeFolder("mnt");
        if (::geteuid() != 0) {
            m_why = "mounting a FAT image needs root";
            return;
        }
        const std::string log = work.Join("mount.log");
        const std::string made =
            "PATH=\"$PATH:/usr/sbin:/sbin\" mkfs.fat -C '" + m_image + "' 8192 >'" + log + "' 2>&1";
        const std::string mount =
            "mount -t vfat -o loop '" + m_image + "' '" + m_point + "' >>'" + log + "' 2>&1";
        m_mounted = std::system(made.c_str()) == 0 && std::system(mount.c_str()) == 0;
        if (!m_mounted) {
            std::ifstream text(log);
            std::stringstream said;
            said << text.rdbuf();
            m_why = "the kernel cannot mount a FAT image here: " + said.str();
        }
    }
    ~FatMount() {
        if (m_mounted) (void)std::system(("umount '" + m_point + "'").c_str());
    }
    FatMount(const FatMount&) = delete;
    FatMount& operator=(const FatMount&) = delete;

    bool Mounted() const { return m_mounted; }
    const std::string& Why() const { return m_why; }
    const std::string& Point() const { return m_point; }

private:
    std::string m_image;
    std::string m_point;
    bool m_mounted = false;
    std::string m_why;
};

// On a real kernel FAT mount, a Windows folder with a long name is named by the alias the file
// system made for it, and a boot script can name it so.
TEST(VfatAliases, a_long_named_folder_on_a_kernel_fat_mount_is_named_by_its_alias) {
    HostFolder work;
    const FatMount mount(work);
    if (!mount.Mounted()) GTEST_SKIP() << mount.Why();
    for (const char* folder : {"/My Windows Folder", "/WINDOWS", "/My Windows Folder 2"})
        ASSERT_EQ(::mkdir((mount.Point() + folder).c_str(), 0755), 0) << folder;
    const std::unique_ptr<FileSystem> files =
        MakePosixFileSystem(DriveMap({{QChar(u'C'), mount.Point()}}));

    const Result<QString> alias = files->ShortAlias(QStringLiteral("C:\\my windows folder"));
    ASSERT_TRUE(Succeeded(alias));
    EXPECT_EQ(alias.value(), QStringLiteral("MYWIND~1"));
    const Result<QString> second = files->ShortPath(QStringLiteral("C:\\My Windows Folder 2"));
    ASSERT_TRUE(Succeeded(second));
    EXPECT_EQ(second.value(), QStringLiteral("C:\\MYWIND~2"));
    const Result<QString> plain = files->ShortPath(QStringLiteral("C:\\WINDOWS"));
    ASSERT_TRUE(Succeeded(plain));
    EXPECT_EQ(plain.value(), QStringLiteral("C:\\WINDOWS"));
    EXPECT_FALSE(files->ShortAlias(QStringLiteral("C:\\Missing Folder")).ok());
}

}  // namespace
}  // namespace stowix::test
