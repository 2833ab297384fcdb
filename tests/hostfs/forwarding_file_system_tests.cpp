// A forwarding wrapper hands every call on whole, those with a default of their own too: a
// wrapper that took a group copy apart into single calls would lose the drive's own short way
// of making it, and a call added to the file system would silently get the default.

#include "fs/drive_map.h"
#include "fs/forwarding_file_system.h"
#include "host_folder.h"
#include "hostfs/posix_file_system.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

namespace stowix::test {
namespace {

// Counts the calls with a default of their own that reach it, then makes them as the posix
// file system does.
class CountingWhole : public ForwardingFileSystem {
public:
    using ForwardingFileSystem::ForwardingFileSystem;

    Result<bool> CopyFileKeepingAttributes(const QString& source,
                                           const QString& destination) override {
        ++calls["CopyFileKeepingAttributes"];
        return ForwardingFileSystem::CopyFileKeepingAttributes(source, destination);
    }
    std::vector<Result<bool>> CopyFilesKeepingAttributes(
        const std::vector<FileCopy>& copies,
        const std::function<void(size_t)>& beforeEach) override {
        ++calls["CopyFilesKeepingAttributes"];
        return ForwardingFileSystem::CopyFilesKeepingAttributes(copies, beforeEach);
    }
    Status WriteFileFrom(FileReader& source, std::optional<int> attributes,
                         const QDateTime& lastWrite, const QString& destination,
                         const std::function<Status()>& beforePlacing) override {
        ++calls["WriteFileFrom"];
        return ForwardingFileSystem::WriteFileFrom(source, attributes, lastWrite, destination,
                                                   beforePlacing);
    }
    Result<FileFacts> ReadFileFacts(const QString& path) override {
        ++calls["ReadFileFacts"];
        return ForwardingFileSystem::ReadFileFacts(path);
    }
    Result<bool> IsLink(const QString& path) override {
        ++calls["IsLink"];
        return ForwardingFileSystem::IsLink(path);
    }
    // The single calls a default would be made of.
    Status CopyFile(const QString& source, const QString& destination) override {
        ++calls["CopyFile"];
        return ForwardingFileSystem::CopyFile(source, destination);
    }

    std::map<std::string, int> calls;
};

TEST(ForwardingFileSystem, calls_with_a_default_reach_the_inner_file_system_whole) {
    HostFolder drive;
    drive.MakeFile("SOURCE.INI", "source");
    drive.MakeLink("LINK.INI", "SOURCE.INI");
    const std::unique_ptr<FileSystem> posix =
        MakePosixFileSystem(DriveMap({{QChar(u'C'), drive.Path()}}));
    CountingWhole inner(*posix);
    ForwardingFileSystem wrapper(static_cast<FileSystem&>(inner));

    EXPECT_TRUE(wrapper
                    .CopyFileKeepingAttributes(QStringLiteral("C:\\SOURCE.INI"),
                                               QStringLiteral("C:\\ONE.INI"))
                    .value());
    const std::vector<Result<bool>> group = wrapper.CopyFilesKeepingAttributes(
        {{QStringLiteral("C:\\SOURCE.INI"), QStringLiteral("C:\\TWO.INI")}}, {});
    ASSERT_EQ(group.size(), 1u);
    EXPECT_TRUE(group[0].value());
    Result<std::unique_ptr<FileReader>> reader =
        wrapper.OpenForReading(QStringLiteral("C:\\SOURCE.INI"));
    ASSERT_TRUE(reader.ok()) << reader.reason().toStdString();
    EXPECT_TRUE(wrapper
                    .WriteFileFrom(*reader.value(), std::nullopt, QDateTime(),
                                   QStringLiteral("C:\\THREE.INI"), {})
                    .ok());
    EXPECT_EQ(wrapper.ReadFileFacts(QStringLiteral("C:\\ONE.INI")).value().size, 6);
    EXPECT_TRUE(wrapper.IsLink(QStringLiteral("C:\\LINK.INI")).value());

    EXPECT_EQ(inner.calls, (std::map<std::string, int>{{"CopyFileKeepingAttributes", 1},
                                                       {"CopyFilesKeepingAttributes", 1},
                                                       {"IsLink", 1},
                                                       {"ReadFileFacts", 1},
                                                       {"WriteFileFrom", 1}}));
    for (const char* name : {"ONE.INI", "TWO.INI", "THREE.INI"})
        EXPECT_EQ(drive.Contents(name), "source") << name;
}

}  // namespace
}  // namespace stowix::test
