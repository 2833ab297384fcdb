// The copies that keep attributes: the file system's own short way against the plain way built
// on single calls, which must come to the same outcome in every case; progress before each
// copy; and a failure that leaves the old file.

#include "drive_fixture.h"
#include "support/attribute_letters.h"
#include "support/faulty_file_system.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>

#include <algorithm>
#include <functional>

namespace stowix::test {
namespace {

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

    // The same after a listing with sizes, as the backup's room count makes one: the copies then
    // take the listing's look at each source for their own.
    Scene listedFirst;
    for (const char* pattern : {"C:\\SRC\\*.*", "C:\\*.*"})
        ASSERT_TRUE(listedFirst.files->ListFileSizes(QString::fromUtf8(pattern), R | H | S).ok());
    const std::vector<Result<bool>> afterListing =
        listedFirst.files->CopyFilesKeepingAttributes(copies, {});

    ASSERT_EQ(direct.size(), copies.size());
    ASSERT_EQ(planned.size(), copies.size());
    ASSERT_EQ(afterListing.size(), copies.size());
    for (size_t i = 0; i < copies.size(); ++i) {
        SCOPED_TRACE(copies[i].source.toStdString() + " -> " + copies[i].destination.toStdString());
        EXPECT_EQ(Described(direct[i]), Described(planned[i])) << direct[i].reason().toStdString();
        EXPECT_EQ(Described(afterListing[i]), Described(planned[i]))
            << afterListing[i].reason().toStdString();
    }
    EXPECT_EQ(Outcome(shortWay), Outcome(plainWay));
    EXPECT_EQ(Outcome(listedFirst), Outcome(plainWay));
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

// What a listing with sizes gives: every file the listing takes (a link inside the drive as what
// it names), its size, no folder; as the general way made of ListFolder and ReadFileFacts gives.
TEST(GroupCopy, a_listing_with_sizes_gives_each_file_as_the_general_way_does) {
    Scene scene;
    scene.drive.MakeFile("SRC/LARGER.INI", std::string(70000, 'l'));
    const auto described = [](const std::vector<FileSize>& sizes) {
        std::vector<std::string> lines;
        for (const FileSize& file : sizes)
            lines.push_back(file.name.toStdString() + "=" + std::to_string(file.size));
        std::sort(lines.begin(), lines.end());
        return lines;
    };
    const QString pattern = QStringLiteral("C:\\SRC\\*.INI");
    const Result<std::vector<FileSize>> own = scene.files->ListFileSizes(pattern, R | H | S);
    const Result<std::vector<FileSize>> general =
        scene.files->FileSystem::ListFileSizes(pattern, R | H | S);
    ASSERT_TRUE(own.ok() && general.ok());
    EXPECT_EQ(described(own.value()), described(general.value()));
    const std::vector<std::string> lines = described(own.value());
    EXPECT_NE(std::find(lines.begin(), lines.end(), "LARGER.INI=70000"), lines.end());
    EXPECT_NE(std::find(lines.begin(), lines.end(), "LINK.INI=13"), lines.end());
    for (const std::string& line : lines) EXPECT_EQ(line.find("FOLDER.INI"), std::string::npos);
    // A plain name is listed by itself, in the case stored.
    const Result<std::vector<FileSize>> one =
        scene.files->ListFileSizes(QStringLiteral("C:\\SRC\\mixed.ini"), R | H | S);
    ASSERT_TRUE(one.ok());
    EXPECT_EQ(described(one.value()), std::vector<std::string>{"Mixed.Ini=13"});
}

// The outcome of the two destinations the copies below make, the old file kept at a time of
// its own so that two scenes agree on it.
std::vector<std::string> CopiesOf(Scene& scene) {
    const struct timespec kept[2] = {{800000000, 0}, {800000000, 0}};
    if (scene.drive.Contents("DST/PLAIN.INI") == "old plain")
        ::utimensat(AT_FDCWD, scene.drive.Join("DST/PLAIN.INI").c_str(), kept, 0);
    std::vector<std::string> lines;
    for (const std::string& line : Outcome(scene))
        if (line.starts_with("DST/PLAIN.INI ") || line.starts_with("DST/FRESH.INI "))
            lines.push_back(line);
    return lines;
}

// A source replaced or given other attributes between the listing's look at it and its copy is
// copied as it is when copied: the short way hands it to the general way, which looks afresh.
// Each case against the same change with no listing. One written to meanwhile (another size or
// last-write time) fails as one written to while it is copied, and its copies are not made.
TEST(GroupCopy, a_source_changed_after_the_listing_is_copied_as_it_is_then) {
    const struct {
        const char* what;
        std::function<void(Scene&)> change;
    } cases[] = {
        {"rewritten, same size and last-write time",
         [](Scene& scene) {
             const struct stat before = scene.drive.Stat("SRC/PLAIN.INI");
             scene.drive.MakeFile("SRC/PLAIN.INI", "NEW PLAIN.INI");
             const struct timespec times[2] = {before.st_atim, before.st_mtim};
             ::utimensat(AT_FDCWD, scene.drive.Join("SRC/PLAIN.INI").c_str(), times, 0);
         }},
        {"made read-only",
         [](Scene& scene) { scene.Set(QStringLiteral("C:\\SRC\\PLAIN.INI"), R); }},
        {"made hidden", [](Scene& scene) { scene.Set(QStringLiteral("C:\\SRC\\PLAIN.INI"), H); }},
        {"replaced by another file",
         [](Scene& scene) {
             ::rename(scene.drive.Join("SRC/NEW.INI").c_str(),
                      scene.drive.Join("SRC/PLAIN.INI").c_str());
         }},
        {"replaced by a link",
         [](Scene& scene) {
             ::unlink(scene.drive.Join("SRC/PLAIN.INI").c_str());
             scene.drive.MakeLink("SRC/PLAIN.INI", "HIDDEN.INI");
         }},
        {"replaced by a folder",
         [](Scene& scene) {
             ::unlink(scene.drive.Join("SRC/PLAIN.INI").c_str());
             scene.drive.MakeFolder("SRC/PLAIN.INI");
         }},
        {"removed", [](Scene& scene) { ::unlink(scene.drive.Join("SRC/PLAIN.INI").c_str()); }},
    };
    const std::vector<FileCopy> copies = {
        {QStringLiteral("C:\\SRC\\PLAIN.INI"), QStringLiteral("C:\\DST\\PLAIN.INI")},
        {QStringLiteral("C:\\SRC\\PLAIN.INI"), QStringLiteral("C:\\DST\\FRESH.INI")},
    };
    for (const auto& change : cases) {
        SCOPED_TRACE(change.what);
        Scene listed;
        ASSERT_TRUE(listed.files->ListFileSizes(QStringLiteral("C:\\SRC\\*.*"), R | H | S).ok());
        change.change(listed);
        const std::vector<Result<bool>> copied =
            listed.files->CopyFilesKeepingAttributes(copies, {});

        Scene unlisted;
        change.change(unlisted);
        const std::vector<Result<bool>> expected =
            unlisted.files->CopyFilesKeepingAttributes(copies, {});
        for (size_t i = 0; i < copies.size(); ++i)
            EXPECT_EQ(Described(copied[i]), Described(expected[i]))
                << copied[i].reason().toStdString();
        EXPECT_EQ(CopiesOf(listed), CopiesOf(unlisted));
    }

    for (const char* grown : {"grown plain file", "new PLAIN.INX"}) {
        SCOPED_TRACE(grown);
        Scene listed;
        ASSERT_TRUE(listed.files->ListFileSizes(QStringLiteral("C:\\SRC\\*.*"), R | H | S).ok());
        listed.drive.MakeFile("SRC/PLAIN.INI", grown);
        const std::vector<Result<bool>> copied =
            listed.files->CopyFilesKeepingAttributes(copies, {});
        ASSERT_FALSE(copied[0].ok());
        EXPECT_TRUE(copied[0].reason().contains(QLatin1String("changed while it was copied")))
            << copied[0].reason().toStdString();
        EXPECT_EQ(listed.drive.Contents("DST/PLAIN.INI"), "old plain");
        // The look was the first copy's: the second looks for itself and copies the file as it
        // is now.
        EXPECT_TRUE(copied[1].ok());
        EXPECT_EQ(listed.drive.Contents("DST/FRESH.INI"), grown);
    }
}

// Copies into one folder look at it once for the batch: a name that an earlier copy of the batch
// made is found in another case by a later one, and a name another program made between two
// batches is found by the next batch.
TEST(GroupCopy, a_batch_finds_the_names_it_made_and_those_made_between_batches) {
    Scene scene;
    const auto copy = [&](const char* source, const char* destination) {
        return FileCopy{QStringLiteral("C:\\SRC\\") + QString::fromUtf8(source),
                        QStringLiteral("C:\\DST\\") + QString::fromUtf8(destination)};
    };
    for (const Result<bool>& result : scene.files->CopyFilesKeepingAttributes(
             {copy("NEW.INI", "Case.INI"), copy("PLAIN.INI", "CASE.ini")}, {}))
        EXPECT_TRUE(result.ok() && result.value()) << result.reason().toStdString();
    EXPECT_TRUE(scene.drive.Exists("DST/Case.INI"));
    EXPECT_FALSE(scene.drive.Exists("DST/CASE.ini"));
    EXPECT_EQ(scene.drive.Contents("DST/Case.INI"), "new PLAIN.INI");
    EXPECT_EQ(scene.files->ReadAttributes(QStringLiteral("C:\\DST\\case.ini")).value(), 0);

    scene.drive.MakeFile("DST/between.ini", "made by another program");
    for (const Result<bool>& result : scene.files->CopyFilesKeepingAttributes(
             {copy("NEW.INI", "OTHER.INI"), copy("PLAIN.INI", "BETWEEN.INI")}, {}))
        EXPECT_TRUE(result.ok() && result.value()) << result.reason().toStdString();
    EXPECT_EQ(scene.drive.Contents("DST/between.ini"), "new PLAIN.INI");
    EXPECT_FALSE(scene.drive.Exists("DST/BETWEEN.INI"));
}

}  // namespace
}  // namespace stowix::test
