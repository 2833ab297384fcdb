// Copying: contents and last-write time, and an atomic replace that a failure never half-does.

#include "drive_fixture.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>

namespace stowix::test {
namespace {

using CopyTest = DriveTest;

TEST_F(CopyTest, contents_and_last_write_time_are_copied)
{
    drive.MakeFile("SOURCE.DAT", std::string(100000, 'r') + "end");
    const struct timespec times[2] = {{1000000000, 0}, {981173106, 123456789}};
    ASSERT_EQ(::utimensat(AT_FDCWD, drive.Join("SOURCE.DAT").c_str(), times, 0), 0);
    ASSERT_TRUE(Succeeded(files->CopyFile(QStringLiteral("C:\\SOURCE.DAT"),
                                          QStringLiteral("C:\\COPY.DAT"))));
    EXPECT_EQ(drive.Contents("COPY.DAT"), drive.Contents("SOURCE.DAT"));
    const struct stat copied = drive.Stat("COPY.DAT");
    EXPECT_EQ(copied.st_mtim.tv_sec, 981173106);
    EXPECT_EQ(copied.st_mtim.tv_nsec, 123456789);
    EXPECT_EQ(drive.Names(), (std::vector<std::string>{"COPY.DAT", "SOURCE.DAT"}));
}

TEST_F(CopyTest, an_empty_file_is_copied)
{
    drive.MakeFile("EMPTY", "");
    ASSERT_TRUE(Succeeded(files->CopyFile(QStringLiteral("C:\\EMPTY"), QStringLiteral("C:\\E2"))));
    EXPECT_TRUE(drive.Exists("E2"));
    EXPECT_EQ(drive.Contents("E2"), "");
}

TEST_F(CopyTest, an_existing_destination_is_replaced_and_attributes_are_the_callers_matter)
{
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

TEST_F(CopyTest, a_read_only_destination_is_refused_as_windows_refuses_it)
{
    drive.MakeFile("SOURCE", "new");
    drive.MakeFile("DEST", "old");
    ASSERT_TRUE(Succeeded(files->WriteAttributes(QStringLiteral("C:\\DEST"), Attribute::ReadOnly)));
    EXPECT_FALSE(
        Succeeded(files->CopyFile(QStringLiteral("C:\\SOURCE"), QStringLiteral("C:\\DEST"))));
    EXPECT_EQ(drive.Contents("DEST"), "old");
}

TEST_F(CopyTest, a_failed_copy_leaves_the_old_destination_whole_and_no_temporary_file)
{
    drive.MakeFile("SOURCE", "new");
    drive.MakeFolder("FOLDER");
    drive.MakeFile("FOLDER/inside", "kept");
    drive.MakeFile("DEST", "old");
    drive.MakeFolder("SUB");
    const struct {
        const char* source;
        const char* destination;
    } cases[] = {
        {"C:\\SOURCE", "C:\\MISSING\\DEST"},   // destination folder missing
        {"C:\\SOURCE", "C:\\FOLDER"},          // destination is a folder
        {"C:\\MISSING", "C:\\DEST"},           // source missing
        {"C:\\SUB", "C:\\DEST"},               // source is a folder
        {"C:\\SOURCE", "C:\\"},                // the root
        {"C:\\SOURCE", "D:\\DEST"},            // no such drive
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

TEST_F(CopyTest, a_copy_that_fails_while_writing_leaves_nothing_behind)
{
    drive.MakeFile("BIG", std::string(64 * 1024, 'b'));
    drive.MakeFile("DEST", "old");
    // A file size limit makes the write fail once the new file exists and holds data. Both ways
    // of writing are met: beside an existing destination, and unnamed for a new one.
    for (const char* destination : {"C:\\DEST", "C:\\NEW"}) {
        SCOPED_TRACE(destination);
        struct rlimit saved {};
        ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
        struct sigaction ignore {};
        struct sigaction previous {};
        ignore.sa_handler = SIG_IGN;
        ::sigaction(SIGXFSZ, &ignore, &previous);
        struct rlimit limited = saved;
        limited.rlim_cur = 1000;
        ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limited), 0);
        const QString target = QString::fromUtf8(destination);
        const Status copied = files->CopyFile(QStringLiteral("C:\\BIG"), target);
        ::setrlimit(RLIMIT_FSIZE, &saved);
        ::sigaction(SIGXFSZ, &previous, nullptr);

        EXPECT_FALSE(copied.ok());
        EXPECT_TRUE(copied.reason().startsWith(target + QStringLiteral(": ")))
            << copied.reason().toStdString();
        EXPECT_EQ(drive.Contents("DEST"), "old");
        EXPECT_EQ(drive.Names(), (std::vector<std::string>{"BIG", "DEST"}));
    }
}

TEST_F(CopyTest, a_copy_with_no_descriptor_left_fails_cleanly)
{
    drive.MakeFile("SOURCE", "new");
    drive.MakeFile("DEST", "old");
    struct rlimit saved {};
    ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &saved), 0);
    // Take every descriptor but the ones the copy would need.
    std::vector<int> taken;
    struct rlimit limited = saved;
    limited.rlim_cur = 64;
    ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &limited), 0);
    for (int fd; (fd = ::open("/dev/null", O_RDONLY)) >= 0;)
        taken.push_back(fd);
    if (taken.empty()) {
        ::setrlimit(RLIMIT_NOFILE, &saved);
        GTEST_SKIP() << "more descriptors open than the limit allows";
    }
    ::close(taken.back());  // room for the source, none for the temporary file
    taken.pop_back();
    const Status copied = files->CopyFile(QStringLiteral("C:\\SOURCE"), QStringLiteral("C:\\DEST"));
    for (int fd : taken)
        ::close(fd);
    ::setrlimit(RLIMIT_NOFILE, &saved);

    EXPECT_FALSE(copied.ok());
    EXPECT_EQ(drive.Contents("DEST"), "old");
    EXPECT_EQ(drive.Names(), (std::vector<std::string>{"DEST", "SOURCE"}));
}

TEST_F(CopyTest, a_file_copied_onto_itself_keeps_its_contents)
{
    drive.MakeFile("SAME", "contents");
    ASSERT_TRUE(Succeeded(files->CopyFile(QStringLiteral("C:\\SAME"), QStringLiteral("C:\\same"))));
    EXPECT_EQ(drive.Contents("SAME"), "contents");
    EXPECT_EQ(drive.Names(), std::vector<std::string>{"SAME"});
}

TEST_F(CopyTest, a_pipe_is_refused_without_waiting_for_a_writer)
{
    ASSERT_EQ(::mkfifo(drive.Join("PIPE").c_str(), 0644), 0);
    EXPECT_FALSE(Succeeded(files->CopyFile(QStringLiteral("C:\\PIPE"), QStringLiteral("C:\\OUT"))));
    EXPECT_FALSE(drive.Exists("OUT"));
    EXPECT_TRUE(ListedNames(QStringLiteral("C:\\*.*"), 23).isEmpty());
}

}  // namespace
}  // namespace stowix::test
