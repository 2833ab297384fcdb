#pragma once
// A test over the real posix file system with drive C: on a fresh host folder.

#include "fs/drive_map.h"
#include "host_folder.h"
#include "hostfs/posix_file_system.h"
#include "support/qt_printers.h"

#include <gtest/gtest.h>

#include <QStringList>

#include <memory>

namespace stowix::test {

class DriveTest : public ::testing::Test {
protected:
    DriveTest() : files(MakePosixFileSystem(DriveMap({{QChar(u'C'), drive.Path()}}))) {}

    // The names a listing gives, sorted; a failed listing fails the test.
    QStringList ListedNames(const QString& pattern, int mask) {
        Result<std::vector<FolderEntry>> listed = files->ListFolder(pattern, mask);
        EXPECT_TRUE(Succeeded(listed));
        QStringList names;
        if (listed) {
            for (const FolderEntry& entry : listed.value()) names.append(entry.name);
        }
        names.sort();
        return names;
    }

    HostFolder drive;
    std::unique_ptr<FileSystem> files;
};

}  // namespace stowix::test
