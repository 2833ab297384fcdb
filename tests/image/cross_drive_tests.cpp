// Copies between drives kept in different ways, through the program's file system over all its
// drives: a host folder C:, and images D: and E: made by mtools. What lands in an image is read
// back by mtools (bytes, attributes, last-write time) and the image judged by fsck.fat; what
// lands in the folder is read on the host and through the folder drive's own implementation.

#include "drives/drive_dispatch.h"
#include "drives/open_drives.h"
#include "fs/drive_map.h"
#include "hostfs/posix_file_system.h"
#include "image/image_fixture.h"
#include "support/faulty_file_system.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

namespace stowix::test {
namespace {

QString Text(const char* text) { return QString::fromUtf8(text); }

class CrossDrive : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(folder.isValid());
        QDir(folder.path()).mkpath(QStringLiteral("WINDOWS"));
        WriteHostFile(QStringLiteral("WINDOWS/WIN.INI"), "[windows]\r\nload=\r\n", winIniTime);
        WriteHostFile(QStringLiteral("IO.SYS"), systemBytes, ioSysTime);

        driveD.AddFolder(QStringLiteral("WINDOWS"));
        driveD.AddFile(QStringLiteral("WINDOWS\\SYSTEM.DAT"), registry, 0x07, registryTime);
        driveD.AddFile(QStringLiteral("IO.SYS"), "the old one", 0x07);
        driveD.AddFolder(QStringLiteral("Folder In The Way"));
        driveE.AddFolder(QStringLiteral("Stowix"));
        driveE.AddFile(QStringLiteral("Stowix\\SYSTEM.DAT"), "an older set's", 0x01);
        Open();
        // The folder drive's attributes, set through its own implementation.
        ASSERT_TRUE(files->WriteAttributes(Text("C:\\IO.SYS"), 0x07).ok());
    }

    void WriteHostFile(const QString& relative, const QByteArray& bytes, const QDateTime& time) {
        QFile file(folder.filePath(relative));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        ASSERT_TRUE(file.flush());
        ASSERT_TRUE(file.setFileTime(time, QFileDevice::FileModificationTime));
    }

    void Open() {
        DriveMap drives;
        drives.Set(u'C', folder.path().toStdString());
        drives.Set(u'D', DriveSource{DriveKind::Image, driveD.Path().toStdString(), std::nullopt});
        drives.Set(u'E', DriveSource{DriveKind::Image, driveE.Path().toStdString(), std::nullopt});
        Result<std::unique_ptr<FileSystem>> opened = OpenDrives(drives);
        ASSERT_TRUE(opened.ok()) << opened.reason().toStdString();
        files = std::move(opened).value();
    }

    // Even seconds, which every drive keeps exactly.
    const QDateTime winIniTime = QDateTime(QDate(1998, 6, 25), QTime(10, 0, 2), Qt::UTC);
    const QDateTime ioSysTime = QDateTime(QDate(1999, 4, 23), QTime(22, 22, 22), Qt::UTC);
    const QDateTime registryTime = QDateTime(QDate(2001, 9, 8), QTime(7, 6, 4), Qt::UTC);
    const QByteArray systemBytes = Pattern(40 * 1024 + 3, 7);
    const QByteArray registry = Pattern(300 * 1024 + 11, 8);
    QTemporaryDir folder;
    MtoolsImage driveD{{16, 16, ImageSpec::Layout::Bare}};
    MtoolsImage driveE{{32, 64, ImageSpec::Layout::Mbr}};
    std::unique_ptr<FileSystem> files;
};

TEST_F(CrossDrive, copies_go_between_a_folder_and_images_with_bytes_attributes_and_times) {
    // Copies that keep attributes, as a backup and a restore make them, in one group; and a
    // plain copy, which gives the copy the attributes its drive gives any new copy.
    const std::vector<FileCopy> group = {
        {Text("C:\\IO.SYS"), Text("D:\\IO.SYS")},  // over a read-only file
        {Text("C:\\WINDOWS\\WIN.INI"), Text("D:\\WINDOWS\\Win Ini Copy.ini")},
        {Text("D:\\WINDOWS\\SYSTEM.DAT"), Text("C:\\WINDOWS\\SYSTEM.DAT")},
        {Text("D:\\WINDOWS\\SYSTEM.DAT"), Text("E:\\Stowix\\SYSTEM.DAT")},  // over a read-only one
        {Text("D:\\WINDOWS\\NONE.DAT"), Text("C:\\NONE.DAT")},              // no source: false
        {Text("C:\\WINDOWS\\WIN.INI"), Text("D:\\Folder In The Way")},
        {Text("D:\\WINDOWS"), Text("C:\\A FOLDER")},
    };
    int before = 0;
    const std::vector<Result<bool>> results =
        files->CopyFilesKeepingAttributes(group, [&](size_t) { ++before; });
    ASSERT_EQ(results.size(), group.size());
    EXPECT_EQ(before, int(group.size()));
    for (size_t i = 0; i < 4; ++i)
        EXPECT_TRUE(results[i].ok() && results[i].value())
            << i << ": " << results[i].reason().toStdString();
    ASSERT_TRUE(results[4].ok());
    EXPECT_FALSE(results[4].value());
    EXPECT_FALSE(results[5].ok());
    EXPECT_FALSE(results[6].ok());
    ASSERT_TRUE(files->CopyFile(Text("D:\\WINDOWS\\SYSTEM.DAT"), Text("C:\\PLAIN.DAT")).ok());
    ASSERT_TRUE(files->CopyFile(Text("C:\\IO.SYS"), Text("E:\\Plain Copy.sys")).ok());

    // The folder drive, read through its own implementation and on the host.
    const struct {
        const char* path;
        QByteArray bytes;
        int attributes;
        QDateTime time;
    } onFolder[] = {
        {"WINDOWS\\SYSTEM.DAT", registry, 0x07, registryTime},
        {"PLAIN.DAT", registry, 0, registryTime},
    };
    for (const auto& expected : onFolder) {
        SCOPED_TRACE(expected.path);
        const QString dosPath = Text("C:\\") + Text(expected.path);
        EXPECT_EQ(files->ReadFile(dosPath, 1 << 20).value(), expected.bytes);
        EXPECT_EQ(files->ReadAttributes(dosPath).value(), expected.attributes);
        EXPECT_EQ(QFileInfo(folder.filePath(Text(expected.path).replace(u'\\', u'/')))
                      .lastModified()
                      .toUTC(),
                  expected.time);
    }
    EXPECT_FALSE(QFileInfo::exists(folder.filePath(QStringLiteral("NONE.DAT"))));
    EXPECT_FALSE(QFileInfo::exists(folder.filePath(QStringLiteral("A FOLDER"))));
    // No temporary file is left beside the copies.
    EXPECT_EQ(
        QDir(folder.filePath(QStringLiteral("WINDOWS"))).entryList(QDir::Files | QDir::Hidden),
        (QStringList{"SYSTEM.DAT", "WIN.INI"}));

    // The images, read by mtools once the program's file system has let them go.
    files.reset();
    const struct {
        const MtoolsImage* image;
        const char* path;
        QByteArray bytes;
        int attributes;
        QDateTime time;
    } onImages[] = {
        {&driveD, "IO.SYS", systemBytes, 0x07, ioSysTime},
        {&driveD, "WINDOWS\\Win Ini Copy.ini", "[windows]\r\nload=\r\n", 0x00, winIniTime},
        {&driveE, "Stowix\\SYSTEM.DAT", registry, 0x07, registryTime},
        {&driveE, "Plain Copy.sys", systemBytes, 0x20, ioSysTime},
    };
    for (const auto& expected : onImages) {
        SCOPED_TRACE(expected.path);
        EXPECT_EQ(expected.image->Bytes(Text(expected.path)), expected.bytes);
        EXPECT_EQ(expected.image->Attributes(Text(expected.path)), expected.attributes);
        EXPECT_EQ(expected.image->Modified(Text(expected.path)), expected.time);
    }
    EXPECT_TRUE(driveD.Names(QStringLiteral("Folder In The Way")).isEmpty());
    EXPECT_EQ(driveD.Names(QStringLiteral("WINDOWS")),
              (QStringList{"SYSTEM.DAT", "Win Ini Copy.ini"}));
    EXPECT_TRUE(driveD.FsckProblems().isEmpty()) << driveD.FsckProblems().toStdString();
    EXPECT_TRUE(driveE.FsckProblems().isEmpty()) << driveE.FsckProblems().toStdString();
}

// A reader that appends to its file before its first read, as a program writing the file
// while it is copied would.
class GrowingReader final : public FileReader {
public:
    GrowingReader(std::unique_ptr<FileReader> inner, QString hostPath)
        : m_inner(std::move(inner)), m_hostPath(std::move(hostPath)) {}
    qint64 Size() const override { return m_inner->Size(); }
    Result<qint64> ReadAt(qint64 offset, char* buffer, qint64 size) override {
        if (!m_grown) {
            m_grown = true;
            QFile file(m_hostPath);
            if (file.open(QIODevice::Append)) file.write("written meanwhile");
        }
        return m_inner->ReadAt(offset, buffer, size);
    }

private:
    std::unique_ptr<FileReader> m_inner;
    QString m_hostPath;
    bool m_grown = false;
};

// The folder drive, with its files written to while they are read.
class GrowingDrive final : public FaultyFileSystem {
public:
    GrowingDrive(FileSystem& inner, QString root)
        : FaultyFileSystem(inner), m_root(std::move(root)) {}
    Result<std::unique_ptr<FileReader>> OpenForReading(const QString& path) override {
        Result<std::unique_ptr<FileReader>> opened = FaultyFileSystem::OpenForReading(path);
        if (!opened) return opened;
        const QString host = m_root + u'/' + path.mid(3).replace(u'\\', u'/');
        return std::unique_ptr<FileReader>(
            std::make_unique<GrowingReader>(std::move(opened).value(), host));
    }

private:
    QString m_root;
};

TEST_F(CrossDrive, a_source_written_to_while_it_is_copied_gives_no_copy) {
    files.reset();
    std::unique_ptr<FileSystem> posix =
        MakePosixFileSystem(DriveMap({{QChar(u'C'), folder.path().toStdString()}}));
    Result<std::unique_ptr<FileSystem>> image = OpenFatImage(
        u'E', DriveSource{DriveKind::Image, driveE.Path().toStdString(), std::nullopt});
    ASSERT_TRUE(image.ok()) << image.reason().toStdString();
    std::vector<DrivePart> parts;
    parts.push_back({Text("C"), std::make_unique<GrowingDrive>(*posix, folder.path())});
    parts.push_back({Text("E"), std::move(image).value()});
    files = MakeDriveDispatch(std::move(parts), u'C');

    // Over a read-only file, which gets its attribute back; and to a new name, which stays away.
    const Result<bool> kept =
        files->CopyFileKeepingAttributes(Text("C:\\IO.SYS"), Text("E:\\Stowix\\SYSTEM.DAT"));
    ASSERT_FALSE(kept.ok());
    EXPECT_TRUE(kept.reason().contains(Text("C:\\IO.SYS: the file changed while it was copied")))
        << kept.reason().toStdString();
    const Status plain = files->CopyFile(Text("C:\\WINDOWS\\WIN.INI"), Text("E:\\WIN.INI"));
    ASSERT_FALSE(plain.ok());
    EXPECT_TRUE(plain.reason().contains(Text("changed while it was copied")))
        << plain.reason().toStdString();

    files.reset();
    EXPECT_EQ(driveE.Bytes(QStringLiteral("Stowix\\SYSTEM.DAT")), QByteArray("an older set's"));
    EXPECT_EQ(driveE.Attributes(QStringLiteral("Stowix\\SYSTEM.DAT")), 0x01);
    EXPECT_FALSE(driveE.Bytes(QStringLiteral("WIN.INI")));
    EXPECT_TRUE(driveE.FsckProblems().isEmpty()) << driveE.FsckProblems().toStdString();
}

}  // namespace
}  // namespace stowix::test
