// Copying: contents and last-write time, and an atomic replace that a failure never half-does.

#include "drive_fixture.h"

#include <QDateTime>

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>

#include <algorithm>
#include <cstring>

namespace stowix::test {
namespace {

using CopyTest = DriveTest;

TEST_F(CopyTest, contents_and_last_write_time_are_copied) {
    drive.MakeFile("SOURCE.DAT", std::string(100000, 'r') + "end");
    const struct timespec times[2] = {{1000000000, 0}, {981173106, 123456789}};
    ASSERT_EQ(::utimensat(AT_FDCWD, drive.Join("SOURCE.DAT").c_str(), times, 0), 0);
    ASSERT_TRUE(Succeeded(
        files->CopyFile(QStringLiteral("C:\\SOURCE.DAT"), QStringLiteral("C:\\COPY.DAT"))));
    EXPECT_EQ(drive.Contents("COPY.DAT"), drive.Contents("SOURCE.DAT"));
    const struct stat copied = drive.Stat("COPY.DAT");
    EXPECT_EQ(copied.st_mtim.tv_sec, 981173106);
    EXPECT_EQ(copied.st_mtim.tv_nsec, 123456789);
    EXPECT_EQ(drive.Names(), (std::vector<std::string>{"COPY.DAT", "SOURCE.DAT"}));
}

TEST_F(CopyTest, an_empty_file_is_copied) {
    drive.MakeFile("EMPTY", "");
    ASSERT_TRUE(Succeeded(files->CopyFile(QStringLiteral("C:\\EMPTY"), QStringLiteral("C:\\E2"))));
    EXPECT_TRUE(drive.Exists("E2"));
    EXPECT_EQ(drive.Contents("E2"), "");
}

TEST_F(CopyTest, an_existing_destination_is_replaced_and_attributes_are_the_callers_matter) {
    drive.MakeFile("SOURCE", "new");
    ASSERT_TRUE(Succeeded(files->WriteAttributes(QStringLiteral("C:\\SOURCE"), 0x27)));
    drive.MakeFile("DEST", "old contents");
    ASSERT_TRUE(Succeeded(files->WriteAttributes(QStringLiteral("C:\\DEST"), Attribute::Hidden)));
    ASSERT_TRUE(
        Succeeded(files->CopyFile(QStringLiteral("C:\\SOURCE"), QStringLiteral("C:\\DEST"))));
    EXPECT_EQ(drive.Contents("DEST"), "new");
    // A fresh file: the caller writes the attribute value it wants afterwards.
    EXPECT_EQ(files->ReadAttributes(QStringLiteral("C:\\DEST")).value(), 0);
    EXPECT_EQ(drive.Names(), (std::vector<std::string>{"DEST", "SOURCE"}));
}

TEST_F(CopyTest, a_read_only_destination_is_refused_as_windows_refuses_it) {
    drive.MakeFile("SOURCE", "new");
    drive.MakeFile("DEST", "old");
    ASSERT_TRUE(Succeeded(files->WriteAttributes(QStringLiteral("C:\\DEST"), Attribute::ReadOnly)));
    EXPECT_FALSE(
        Succeeded(files->CopyFile(QStringLiteral("C:\\SOURCE"), QStringLiteral("C:\\DEST"))));
    EXPECT_EQ(drive.Contents("DEST"), "old");
}

TEST_F(CopyTest, a_failed_copy_leaves_the_old_destination_whole_and_no_temporary_file) {
    drive.MakeFile("SOURCE", "new");
    drive.MakeFolder("FOLDER");
    drive.MakeFile("FOLDER/inside", "kept");
    drive.MakeFile("DEST", "old");
    drive.MakeFolder("SUB");
    const struct {
        const char* source;
        const char* destination;
    } cases[] = {
        {"C:\\SOURCE", "C:\\MISSING\\DEST"},  // destination folder missing
        {"C:\\SOURCE", "C:\\FOLDER"},         // destination is a folder
        {"C:\\MISSING", "C:\\DEST"},          // source missing
        {"C:\\SUB", "C:\\DEST"},              // source is a folder
        {"C:\\SOURCE", "C:\\"},               // the root
        {"C:\\SOURCE", "D:\\DEST"},           // no such drive
    };
    for (const auto& entry : cases) {
        SCOPED_TRACE(std::string(entry.source) + " -> " + entry.destination);
        const Status copied =
            files->CopyFile(QString::fromUtf8(entry.source), QString::fromUtf8(entry.destination));
        EXPECT_FALSE(copied.ok());
        EXPECT_FALSE(copied.reason().isEmpty());
    }
    EXPECT_EQ(drive.Contents("DEST"), "old");
    EXPECT_EQ(drive.Contents("FOLDER/inside"), "kept");
    EXPECT_EQ(drive.Names(), (std::vector<std::string>{"DEST", "FOLDER", "SOURCE", "SUB"}));
}

// The bytes of a file on another drive, as that drive's reader gives them: in pieces of at most
// `piece` bytes, failing at failAt when it is set.
class BytesReader final : public FileReader {
public:
    BytesReader(QByteArray bytes, qint64 piece, qint64 failAt = -1)
        : m_bytes(std::move(bytes)), m_piece(piece), m_failAt(failAt) {}
    qint64 Size() const override { return m_bytes.size(); }
    Result<qint64> ReadAt(qint64 offset, char* buffer, qint64 size) override {
        if (m_failAt >= 0 && offset + size > m_failAt)
            return Status::Fail(QStringLiteral("D:\\SOURCE: Input/output error"));
        const qint64 count = std::min({size, m_piece, qint64(m_bytes.size()) - offset});
        std::memcpy(buffer, m_bytes.constData() + offset, size_t(std::max<qint64>(count, 0)));
        return std::max<qint64>(count, 0);
    }

private:
    QByteArray m_bytes;
    qint64 m_piece;
    qint64 m_failAt;
};

TEST_F(CopyTest, a_file_from_another_drive_is_written_whole_with_its_attributes_and_time) {
    const QByteArray bytes = QByteArray(3 * 1024 * 1024 + 5, 'x') + "end";
    const QDateTime time(QDate(1998, 5, 15), QTime(20, 1, 2, 500), Qt::UTC);
    drive.MakeFile("OLD", "old contents");
    ASSERT_TRUE(Succeeded(files->WriteAttributes(QStringLiteral("C:\\OLD"), Attribute::Hidden)));
    const struct {
        const char* destination;
        std::optional<int> attributes;
        int read;  // what ReadAttributes gives afterwards
    } cases[] = {
        {"C:\\NEW.DAT", 0x27, 0x27},
        {"C:\\OLD", Attribute::System, Attribute::System},  // replaces a file
        {"C:\\PLAIN.DAT", std::nullopt, 0},                 // as CopyFile gives it
    };
    for (const auto& entry : cases) {
        SCOPED_TRACE(entry.destination);
        BytesReader reader(bytes, 700 * 1024);
        int checks = 0;
        ASSERT_TRUE(Succeeded(files->WriteFileFrom(reader, entry.attributes, time,
                                                   QString::fromUtf8(entry.destination), [&] {
                                                       ++checks;
                                                       return Status::Ok();
                                                   })));
        EXPECT_EQ(checks, 1);
        const std::string name = std::string(entry.destination).substr(3);
        EXPECT_EQ(drive.Contents(name), bytes.toStdString());
        EXPECT_EQ(files->ReadAttributes(QString::fromUtf8(entry.destination)).value(), entry.read);
        const struct stat written = drive.Stat(name);
        EXPECT_EQ(written.st_mtim.tv_sec, time.toSecsSinceEpoch());
        EXPECT_EQ(written.st_mtim.tv_nsec, 500000000);
    }
    EXPECT_EQ(drive.Names(), (std::vector<std::string>{"NEW.DAT", "OLD", "PLAIN.DAT"}));
}

TEST_F(CopyTest, a_file_from_another_drive_that_fails_leaves_the_old_one_and_no_temporary_file) {
    drive.MakeFile("DEST", "old");
    ASSERT_TRUE(Succeeded(files->WriteAttributes(QStringLiteral("C:\\DEST"), Attribute::Hidden)));
    drive.MakeFile("LOCKED", "read-only");
    ASSERT_TRUE(
        Succeeded(files->WriteAttributes(QStringLiteral("C:\\LOCKED"), Attribute::ReadOnly)));
    drive.MakeFolder("FOLDER");
    const QByteArray bytes(2 * 1024 * 1024, 'n');
    const auto refuse = [] { return Status::Fail(QStringLiteral("D:\\SOURCE: it changed")); };
    const struct {
        const char* label;
        const char* destination;
        qint64 failAt;
        bool refusedBeforePlacing;
        std::optional<int> attributes;
    } cases[] = {
        {"the source fails half-way", "C:\\DEST", 1024 * 1024, false, 0},
        {"the source changed", "C:\\DEST", -1, true, 0},
        {"an attribute value no drive holds", "C:\\DEST", -1, false, 0x40},
        {"a read-only file in the way", "C:\\LOCKED", -1, false, 0},
        {"a folder in the way", "C:\\FOLDER", -1, false, 0},
        {"a new name, failing", "C:\\NEW", 1024 * 1024, false, 0},
    };
    for (const auto& entry : cases) {
        SCOPED_TRACE(entry.label);
        BytesReader reader(bytes, 256 * 1024, entry.failAt);
        const Status written =
            files->WriteFileFrom(reader, entry.attributes, QDateTime::currentDateTimeUtc(),
                                 QString::fromUtf8(entry.destination),
                                 entry.refusedBeforePlacing ? std::function<Status()>(refuse)
                                                            : std::function<Status()>());
        EXPECT_FALSE(written.ok());
        EXPECT_FALSE(written.reason().isEmpty());
    }
    EXPECT_EQ(drive.Contents("DEST"), "old");
    EXPECT_EQ(files->ReadAttributes(QStringLiteral("C:\\DEST")).value(), Attribute::Hidden);
    EXPECT_EQ(drive.Contents("LOCKED"), "read-only");
    EXPECT_EQ(drive.Names(), (std::vector<std::string>{"DEST", "FOLDER", "LOCKED"}));
}

TEST_F(CopyTest, a_copy_that_fails_while_writing_leaves_nothing_behind) {
    drive.MakeFile("BIG", std::string(64 * 1024, 'b'));
    drive.MakeFile("DEST", "old");
    // A file size limit makes the write fail once the new file exists and holds data. Both ways
    // of writing are met: beside an existing destination, and unnamed for a new one.
    for (const char* destination : {"C:\\DEST", "C:\\NEW"}) {
        SCOPED_TRACE(destination);
        const QString target = QString::fromUtf8(destination);
        const Status copied = [&] {
            const FileSizeLimit limit(1000);
            EXPECT_TRUE(limit.Ok());
            return files->CopyFile(QStringLiteral("C:\\BIG"), target);
        }();

        EXPECT_FALSE(copied.ok());
        EXPECT_TRUE(copied.reason().startsWith(target + QStringLiteral(": ")))
            << copied.reason().toStdString();
        EXPECT_EQ(drive.Contents("DEST"), "old");
        EXPECT_EQ(drive.Names(), (std::vector<std::string>{"BIG", "DEST"}));
    }
}

TEST_F(CopyTest, a_copy_with_no_descriptor_left_fails_cleanly) {
    drive.MakeFile("SOURCE", "new");
    drive.MakeFile("DEST", "old");
    struct rlimit saved {};
    ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &saved), 0);
    // Take every descriptor but the ones the copy would need.
    std::vector<int> taken;
    struct rlimit limited = saved;
    limited.rlim_cur = 64;
    ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &limited), 0);
    for (int fd; (fd = ::open("/dev/null", O_RDONLY)) >= 0;) taken.push_back(fd);
    if (taken.empty()) {
        ::setrlimit(RLIMIT_NOFILE, &saved);
        GTEST_SKIP() << "more descriptors open than the limit allows";
    }
    ::close(taken.back());  // room for the source, none for the temporary file
    taken.pop_back();
    const Status copied = files->CopyFile(QStringLiteral("C:\\SOURCE"), QStringLiteral("C:\\DEST"));
    for (int fd : taken) ::close(fd);
    ::setrlimit(RLIMIT_NOFILE, &saved);

    EXPECT_FALSE(copied.ok());
    EXPECT_EQ(drive.Contents("DEST"), "old");
    EXPECT_EQ(drive.Names(), (std::vector<std::string>{"DEST", "SOURCE"}));
}

TEST_F(CopyTest, a_file_copied_onto_itself_keeps_its_contents) {
    drive.MakeFile("SAME", "contents");
    ASSERT_TRUE(Succeeded(files->CopyFile(QStringLiteral("C:\\SAME"), QStringLiteral("C:\\same"))));
    EXPECT_EQ(drive.Contents("SAME"), "contents");
    EXPECT_EQ(drive.Names(), std::vector<std::string>{"SAME"});
}

TEST_F(CopyTest, a_pipe_is_refused_without_waiting_for_a_writer) {
    ASSERT_EQ(::mkfifo(drive.Join("PIPE").c_str(), 0644), 0);
    EXPECT_FALSE(Succeeded(files->CopyFile(QStringLiteral("C:\\PIPE"), QStringLiteral("C:\\OUT"))));
    EXPECT_FALSE(drive.Exists("OUT"));
    // Listed as a plain file, so that whoever copies the folder's files learns of it.
    EXPECT_EQ(ListedNames(QStringLiteral("C:\\*.*"), 23), QStringList{QStringLiteral("PIPE")});
}

}  // namespace
}  // namespace stowix::test
