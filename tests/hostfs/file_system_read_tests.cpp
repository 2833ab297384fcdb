// Reading files through the file system: whole within a limit, or in pieces; only regular files,
// only inside the drive, never waiting on a pipe.

#include "drive_fixture.h"

#include <sys/stat.h>

namespace stowix::test {
namespace {

using ReadTest = DriveTest;

TEST_F(ReadTest, a_file_is_read_whole_by_any_case_of_its_name) {
    drive.MakeFolder("WINDOWS");
    drive.MakeFile("WINDOWS/WinStart.Bat", std::string("@ECHO OFF\r\n\0end", 16));
    for (const char* path : {"C:\\WINDOWS\\WinStart.Bat", "c:\\windows\\winstart.bat"}) {
        SCOPED_TRACE(path);
        const Result<QByteArray> read = files->ReadFile(QString::fromUtf8(path), 1024);
        ASSERT_TRUE(Succeeded(read));
        EXPECT_EQ(read.value(), QByteArray("@ECHO OFF\r\n\0end", 16));
    }
}

TEST_F(ReadTest, the_limit_is_the_largest_size_read) {
    drive.MakeFile("ten", "0123456789");
    EXPECT_TRUE(Succeeded(files->ReadFile(QStringLiteral("C:\\ten"), 10)));
    const Result<QByteArray> over = files->ReadFile(QStringLiteral("C:\\ten"), 9);
    ASSERT_FALSE(over.ok());
    EXPECT_TRUE(over.reason().contains(QStringLiteral("C:\\ten"))) << over.reason().toStdString();
    EXPECT_TRUE(over.reason().contains(QStringLiteral("9 bytes"))) << over.reason().toStdString();
    drive.MakeFile("empty", "");
    const Result<QByteArray> empty = files->ReadFile(QStringLiteral("C:\\empty"), 0);
    ASSERT_TRUE(Succeeded(empty));
    EXPECT_TRUE(empty.value().isEmpty());
}

TEST_F(ReadTest, a_reader_reads_pieces_at_any_offset) {
    drive.MakeFile("data", "abcdefghij");
    Result<std::unique_ptr<FileReader>> opened = files->OpenForReading(QStringLiteral("C:\\DATA"));
    ASSERT_TRUE(Succeeded(opened));
    FileReader& reader = *opened.value();
    EXPECT_EQ(reader.Size(), 10);
    char buffer[8] = {};
    const Result<qint64> middle = reader.ReadAt(3, buffer, 4);
    ASSERT_TRUE(Succeeded(middle));
    EXPECT_EQ(QByteArray(buffer, int(middle.value())), QByteArray("defg"));
    const Result<qint64> tail = reader.ReadAt(8, buffer, 8);
    ASSERT_TRUE(Succeeded(tail));
    EXPECT_EQ(QByteArray(buffer, int(tail.value())), QByteArray("ij"));
    const Result<qint64> end = reader.ReadAt(10, buffer, 8);
    ASSERT_TRUE(Succeeded(end));
    EXPECT_EQ(end.value(), 0);
    EXPECT_FALSE(reader.ReadAt(-1, buffer, 1).ok());
}

TEST_F(ReadTest, what_is_no_file_inside_the_drive_is_refused) {
    HostFolder outside;
    outside.MakeFile("secret", "outside the drive");
    drive.MakeFolder("folder");
    drive.MakeLink("out", outside.Join("secret"));
    drive.MakeLink("up", "../" + outside.Path().substr(outside.Path().rfind('/') + 1) + "/secret");
    ASSERT_EQ(::mkfifo(drive.Join("pipe").c_str(), 0600), 0);
    const struct {
        const char* path;
        const char* why;
    } cases[] = {
        {"C:\\missing", "No such file"},
        {"C:\\nofolder\\file", "No such file"},
        {"C:\\folder", "folder"},
        {"C:\\out", "out of the drive"},
        {"C:\\up", "out of the drive"},
        // A pipe with no writer would block a plain open and a read for ever.
        {"C:\\pipe", "not a regular file"},
    };
    for (const auto& entry : cases) {
        SCOPED_TRACE(entry.path);
        const Result<QByteArray> read = files->ReadFile(QString::fromUtf8(entry.path), 1024);
        ASSERT_FALSE(read.ok());
        EXPECT_TRUE(read.reason().contains(QString::fromUtf8(entry.why), Qt::CaseInsensitive))
            << read.reason().toStdString();
        EXPECT_FALSE(files->OpenForReading(QString::fromUtf8(entry.path)).ok());
    }
}

}  // namespace
}  // namespace stowix::test
