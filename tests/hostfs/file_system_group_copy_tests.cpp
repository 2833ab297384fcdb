// The copies that keep attributes: the file system's own short way against the plain way built
// on single calls, which must come to the same outcome in every case; progress before each
// copy; and a failure that leaves the old file.

#include "drive_fixture.h"
#include "support/faulty_file_system.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>

namespace stowix::test {
namespace {

constexpr int R = Attribute::ReadOnly;
constexpr int H = Attribute::Hidden;
constexpr int S = Attribute::System;
constexpr int A = Attribute::Archive;

// One drive with every kind of source and destination that a group copy meets.
struct Scene {
    HostFolder drive;
    std::unique_ptr<FileSystem> files =
        MakePosixFileSystem(DriveMap({{QChar(u'C'), drive.Path()}}));

    Scene() {
        drive.MakeFolder("SRC");
        drive.MakeFolder("DST");
        const struct {
            const char* name;
            int attributes;
        } sources[] = {{"PLAIN.INI", 0},           {"HIDDEN.INI", H | A}, {"RO.INI", R},
                       {"ALL.INI", R | H | S | A}, {"Mixed.Ini", S},      {"OVER.INI", A},
                       {"NEW.INI", H | S}};
        long second = 900000000;
        for (const auto& source : sources) {
            const std::string path = std::string("SRC/") + source.name;
            drive.MakeFile(path, std::string("new ") + source.name);
            Set(QStringLiteral("C:\\SRC\\") + source.name, source.attributes);
            const struct timespec times[2] = {{second, 0}, {second, 250}};
            ::utimensat(AT_FDCWD, drive.Join(path).c_str(), times, 0);
            second += 1000;
        }
        drive.MakeLink("SRC/LINK.INI", "PLAIN.INI");
        drive.MakeFolder("SRC/FOLDER.INI");
        // Destinations: a plain old file, one stored in another case, a read-only one, a
        // folder in the way, and one hidden.
        drive.MakeFile("DST/PLAIN.INI", "old plain");
        drive.MakeFile("DST/hidden.ini", "old hidden");
        drive.MakeFile("DST/RO.INI", "old read-only");
        Set(QStringLiteral("C:\\DST\\RO.INI"), R | H);
        drive.MakeFolder("DST/ALL.INI");
        drive.MakeFile("DST/ALL.INI/INSIDE", "kept");
        drive.MakeFile("DST/OVER.INI", "old over");
        Set(QStringLiteral("C:\\DST\\OVER.INI"), H | S);
    }
    void Set(const QString& path, int attributes) {
        ASSERT_TRUE(files->WriteAttributes(path, attributes).ok()) << path.toStdString();
    }
};

std::vector<FileCopy> SceneCopies() {
    std::vector<FileCopy> copies;
    for (const char* name : {"PLAIN.INI", "HIDDEN.INI", "RO.INI", "ALL.INI", "MIXED.INI",
                             "OVER.INI", "NEW.INI", "LINK.INI", "FOLDER.INI", "MISSING.INI"})
        copies.push_back({QStringLiteral("C:\\SRC\\") + name, QStringLiteral("C:\\DST\\") + name});
    copies.push_back({QStringLiteral("C:\\SRC\\PLAIN.INI"), QStringLiteral("C:\\NOPE\\PLAIN.INI")});
    copies.push_back({QStringLiteral("C:\\SRC\\PLAIN.INI"), QStringLiteral("C:\\DST\\PRN")});
    copies.push_back({QStringLiteral("C:\\SRC\\NEW.INI"), QStringLiteral("C:\\NEW.INI")});
    return copies;
}

// What a scene's destination folders hold afterwards: each entry with its contents, attribute
// value and last-write time.
std::vector<std::string> Outcome(Scene& scene) {
    std::vector<std::string> lines;
    for (const std::string folder : {".", "DST"}) {
        for (const std::string& name : scene.drive.Names(folder)) {
            if (name == "SRC" || name == "DST") continue;
            const std::string relative = folder == "." ? name : folder + "/" + name;
            const QString dosPath =
                QStringLiteral("C:\\") + QString::fromStdString(relative).replace(u'/', u'\\');
            const Result<int> attributes = scene.files->ReadAttributes(dosPath);
            const struct stat info = scene.drive.Stat(relative);
            const std::string attributeText =
                " attributes=" + (attributes ? std::to_string(attributes.value()) : "?");
            if (S_ISDIR(info.st_mode)) {
                lines.push_back(relative + attributeText + " (folder)");
                continue;
            }
            lines.push_back(relative + attributeText +
                            " time=" + std::to_string(info.st_mtim.tv_sec) + "." +
                            std::to_string(info.st_mtim.tv_nsec) +
                            " contents=" + scene.drive.Contents(relative));
        }
    }
    return lines;
}

std::string Described(const Result<bool>& result) {
    if (!result) return "failed";
    return result.value() ? "copied" : "no source";
}

TEST(GroupCopy, the_short_way_comes_to_what_the_plain_way_comes_to) {
    const std::vector<FileCopy> copies = SceneCopies();

    Scene shortWay;
    std::vector<size_t> steps;
    const std::vector<Result<bool>> direct =
        shortWay.files->CopyFilesKeepingAttributes(copies, [&](size_t i) { steps.push_back(i); });

    // FaultyFileSystem without faults passes single calls on and keeps the plain way.
    Scene plainWay;
    FaultyFileSystem plain(*plainWay.files);
    const std::vector<Result<bool>> planned = plain.CopyFilesKeepingAttributes(copies, {});

    ASSERT_EQ(direct.size(), copies.size());
    ASSERT_EQ(planned.size(), copies.size());
    for (size_t i = 0; i < copies.size(); ++i) {
        SCOPED_TRACE(copies[i].source.toStdString() + " -> " + copies[i].destination.toStdString());
        EXPECT_EQ(Described(direct[i]), Described(planned[i])) << direct[i].reason().toStdString();
    }
    EXPECT_EQ(Outcome(shortWay), Outcome(plainWay));
    EXPECT_EQ(steps.size(), copies.size());
    EXPECT_TRUE(std::is_sorted(steps.begin(), steps.end()));

    // The cases themselves, beyond agreeing.
    EXPECT_EQ(Described(direct[0]), "copied");
    EXPECT_EQ(shortWay.drive.Contents("DST/hidden.ini"), "new HIDDEN.INI")
        << "a destination stored in another case is replaced under its stored name";
    EXPECT_FALSE(shortWay.drive.Exists("DST/HIDDEN.INI"));
    EXPECT_EQ(shortWay.files->ReadAttributes(QStringLiteral("C:\\DST\\RO.INI")).value(), R);
    EXPECT_EQ(shortWay.files->ReadAttributes(QStringLiteral("C:\\DST\\NEW.INI")).value(), H | S);
    EXPECT_EQ(shortWay.files->ReadAttributes(QStringLiteral("C:\\DST\\OVER.INI")).value(), A);
    EXPECT_EQ(Described(direct[3]), "failed") << "a folder in the way";
    EXPECT_EQ(shortWay.drive.Contents("DST/ALL.INI/INSIDE"), "kept");
    EXPECT_EQ(Described(direct[9]), "no source");
    EXPECT_FALSE(shortWay.drive.Exists("DST/MISSING.INI"));
    // Nothing else was left there, under any name: the old entries and the new copies only.
    EXPECT_EQ(shortWay.drive.Names("DST"),
              (std::vector<std::string>{"ALL.INI", "LINK.INI", "MIXED.INI", "NEW.INI", "OVER.INI",
                                        "PLAIN.INI", "RO.INI", "hidden.ini"}));
}

TEST(GroupCopy, each_step_comes_before_its_copy_and_after_the_one_before) {
    Scene scene;
    const std::vector<FileCopy> copies = {
        {QStringLiteral("C:\\SRC\\NEW.INI"), QStringLiteral("C:\\DST\\A.INI")},
        {QStringLiteral("C:\\SRC\\NEW.INI"), QStringLiteral("C:\\DST\\B.INI")},
        {QStringLiteral("C:\\SRC\\NEW.INI"), QStringLiteral("C:\\DST\\C.INI")},
    };
    std::vector<std::string> seen;
    const auto results = scene.files->CopyFilesKeepingAttributes(copies, [&](size_t i) {
        std::string present;
        for (const char* name : {"A.INI", "B.INI", "C.INI"})
            present += scene.drive.Exists(std::string("DST/") + name) ? name : "-";
        seen.push_back(std::to_string(i) + ":" + present);
    });
    EXPECT_EQ(seen, (std::vector<std::string>{"0:---", "1:A.INI--", "2:A.INIB.INI-"}));
    for (const Result<bool>& result : results) EXPECT_TRUE(result.ok() && result.value());
}

TEST(GroupCopy, a_copy_that_fails_while_writing_leaves_the_old_file_and_its_attributes) {
    Scene scene;
    scene.drive.MakeFile("SRC/BIG.INI", std::string(64 * 1024, 'b'));
    scene.drive.MakeFile("DST/BIG.INI", "old big");
    scene.Set(QStringLiteral("C:\\DST\\BIG.INI"), H | A);
    const std::vector<std::string> before = scene.drive.Names("DST");
    for (const char* destination : {"C:\\DST\\BIG.INI", "C:\\DST\\NEWBIG.INI"}) {
        SCOPED_TRACE(destination);
        const Result<bool> copied = [&] {
            const FileSizeLimit limit(1000);
            EXPECT_TRUE(limit.Ok());
            return scene.files->CopyFileKeepingAttributes(QStringLiteral("C:\\SRC\\BIG.INI"),
                                                          QString::fromUtf8(destination));
        }();

        EXPECT_FALSE(copied.ok());
        EXPECT_EQ(scene.drive.Contents("DST/BIG.INI"), "old big");
        EXPECT_EQ(scene.files->ReadAttributes(QStringLiteral("C:\\DST\\BIG.INI")).value(), H | A);
        EXPECT_FALSE(scene.drive.Exists("DST/NEWBIG.INI"));
        // Nothing left beside them, under any name.
        EXPECT_EQ(scene.drive.Names("DST"), before);
    }
}

}  // namespace
}  // namespace stowix::test
