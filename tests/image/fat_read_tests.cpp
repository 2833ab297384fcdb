// The engine reads what mtools wrote: FAT12, FAT16 and FAT32, long names, attributes, lookups
// without regard to case, listings with the attribute mask, and files read in pieces.

#include "image/image_fixture.h"

#include <QDateTime>
#include <QScopeGuard>

#include <ctime>

namespace stowix::test {
namespace {

constexpr int Everything =
    Attribute::ReadOnly | Attribute::Hidden | Attribute::System | Attribute::Folder;

struct Layout {
    const char* name;
    ImageSpec spec;
};

class FatRead : public testing::TestWithParam<Layout> {
protected:
    void SetUp() override {
        image = std::make_unique<MtoolsImage>(GetParam().spec);
        image->AddFolder(QStringLiteral("WINDOWS"));
        image->AddFolder(QStringLiteral("WINDOWS\\Start Menu"));
        image->AddFile(QStringLiteral("WINDOWS\\WIN.INI"), "[windows]\r\n");
        image->AddFile(QStringLiteral("WINDOWS\\SYSTEM.DAT"), big, 0x07);
        image->AddFile(QStringLiteral("WINDOWS\\Long Name File.txt"), "long", 0x20);
        image->AddFile(QStringLiteral("WINDOWS\\Start Menu\\Programs.lnk"), "link", 0x02);
        image->AddFile(QStringLiteral("AUTOEXEC.BAT"), "@ECHO OFF\r\n", 0x00);
        files = OpenImage(*image);
        ASSERT_TRUE(files);
    }

    const QByteArray big = Pattern(300 * 1024 + 17, 1);
    std::unique_ptr<MtoolsImage> image;
    std::unique_ptr<FileSystem> files;
};

TEST_P(FatRead, lists_with_the_mask_and_long_names) {
    EXPECT_EQ(
        NamesOf(files->ListFolder(QStringLiteral("C:\\WINDOWS\\*.*"), Everything)),
        (QStringList{".", "..", "Long Name File.txt", "SYSTEM.DAT", "Start Menu", "WIN.INI"}));
    // Plain files only: no folders, no dot entries, no hidden, system or read-only files.
    EXPECT_EQ(NamesOf(files->ListFolder(QStringLiteral("C:\\WINDOWS\\*.*"), 0)),
              (QStringList{"Long Name File.txt", "WIN.INI"}));
    EXPECT_EQ(NamesOf(files->ListFolder(QStringLiteral("C:\\windows\\*.Da?"), Everything)),
              QStringList{"SYSTEM.DAT"});
    EXPECT_EQ(NamesOf(files->ListFolder(QStringLiteral("C:\\*"), Attribute::Folder)),
              (QStringList{"AUTOEXEC.BAT", "WINDOWS"}));
    // A folder that is not there lists nothing; neither does a root without a name.
    EXPECT_TRUE(
        NamesOf(files->ListFolder(QStringLiteral("C:\\NOWHERE\\*.*"), Everything)).isEmpty());
    EXPECT_TRUE(NamesOf(files->ListFolder(QStringLiteral("C:\\"), Everything)).isEmpty());
    const Result<std::vector<FolderEntry>> folders =
        files->ListFolder(QStringLiteral("C:\\WINDOWS\\Start Menu"), Everything);
    ASSERT_TRUE(folders.ok());
    ASSERT_EQ(folders.value().size(), 1u);
    EXPECT_EQ(folders.value()[0].attributes, Attribute::Folder);
}

TEST_P(FatRead, finds_paths_without_regard_to_case_and_by_their_alias) {
    EXPECT_EQ(files->ReadAttributes(QStringLiteral("c:\\windows\\system.dat")).value(),
              Attribute::ReadOnly | Attribute::Hidden | Attribute::System);
    EXPECT_EQ(files->ReadAttributes(QStringLiteral("C:\\WINDOWS\\LONG NAME FILE.TXT")).value(),
              Attribute::Archive);
    EXPECT_EQ(files->ReadAttributes(QStringLiteral("C:\\WINDOWS\\LONGNA~1.TXT")).value(),
              Attribute::Archive);
    EXPECT_EQ(files->ReadAttributes(QStringLiteral("\\Windows\\START MENU")).value(),
              Attribute::Folder);
    EXPECT_EQ(files->ReadAttributes(QStringLiteral("C:\\")).value(), Attribute::Folder);
    EXPECT_EQ(files->ReadAttributes(QStringLiteral("AUTOEXEC.BAT")).value(), 0);
    const Result<int> missing = files->ReadAttributes(QStringLiteral("C:\\WINDOWS\\NONE.INI"));
    ASSERT_FALSE(missing.ok());
    EXPECT_TRUE(missing.reason().contains(QStringLiteral("No such file")))
        << missing.reason().toStdString();
    EXPECT_FALSE(files->ReadAttributes(QStringLiteral("D:\\WIN.INI")).ok());
    EXPECT_FALSE(files->ReadAttributes(QStringLiteral("C:\\AUTOEXEC.BAT\\X")).ok());
}

TEST_P(FatRead, reads_files_whole_and_in_pieces) {
    EXPECT_EQ(files->ReadFile(QStringLiteral("C:\\WINDOWS\\SYSTEM.DAT"), 1 << 20).value(), big);
    EXPECT_EQ(files->ReadFile(QStringLiteral("C:\\WINDOWS\\WIN.INI"), 100).value(),
              QByteArray("[windows]\r\n"));
    const Result<QByteArray> tooLarge =
        files->ReadFile(QStringLiteral("C:\\WINDOWS\\SYSTEM.DAT"), 1000);
    ASSERT_FALSE(tooLarge.ok());
    EXPECT_TRUE(tooLarge.reason().contains(QStringLiteral("1000")));

    Result<std::unique_ptr<FileReader>> reader =
        files->OpenForReading(QStringLiteral("C:\\WINDOWS\\SYSTEM.DAT"));
    ASSERT_TRUE(reader.ok());
    EXPECT_EQ(reader.value()->Size(), big.size());
    // Backwards and across cluster ends.
    for (qint64 offset : {qint64(200000), qint64(5), big.size() - 3, qint64(65535)}) {
        char piece[10] = {};
        const Result<qint64> got = reader.value()->ReadAt(offset, piece, sizeof piece);
        ASSERT_TRUE(got.ok());
        const qint64 expected = std::min<qint64>(10, big.size() - offset);
        ASSERT_GE(got.value(), 1);
        ASSERT_LE(got.value(), expected);
        EXPECT_EQ(QByteArray(piece, int(got.value())), big.mid(offset, got.value()));
    }
    EXPECT_EQ(reader.value()->ReadAt(big.size(), nullptr, 10).value(), 0);

    EXPECT_FALSE(files->OpenForReading(QStringLiteral("C:\\WINDOWS")).ok());
    EXPECT_FALSE(files->OpenForReading(QStringLiteral("C:\\WINDOWS\\MISSING.TXT")).ok());
}

TEST_P(FatRead, tells_a_files_size_attributes_and_last_write_time_as_mtools_wrote_them) {
    // FAT keeps local time. A zone with summer time (written as a rule, so that no zone files
    // are needed) shows that the engine reads a summer and a winter date with the offset mtools
    // wrote them with; an odd second shows that both round it alike.
    const QByteArray zone = qgetenv("TZ");
    const bool hadZone = qEnvironmentVariableIsSet("TZ");
    qputenv("TZ", "CET-1CEST,M3.5.0,M10.5.0/3");
    ::tzset();
    const auto restore = qScopeGuard([&] {
        if (hadZone)
            qputenv("TZ", zone);
        else
            qunsetenv("TZ");
        ::tzset();
    });
    const QDateTime odd(QDate(1999, 7, 4), QTime(13, 37, 43));
    const QDateTime even(QDate(2003, 1, 2), QTime(23, 58, 10));
    files.reset();
    image->AddFile(QStringLiteral("WINDOWS\\ODD.INI"), "odd", 0x21, odd);
    image->AddFile(QStringLiteral("WINDOWS\\Even Time.txt"), big.left(70000), 0x06, even);
    files = OpenImage(*image);
    ASSERT_TRUE(files);
    const struct {
        const char* path;
        qint64 size;
        int attributes;
    } cases[] = {
        {"WINDOWS\\ODD.INI", 3, Attribute::ReadOnly | Attribute::Archive},
        {"WINDOWS\\Even Time.txt", 70000, Attribute::Hidden | Attribute::System},
        {"WINDOWS\\SYSTEM.DAT", big.size(), 0x07},
        {"AUTOEXEC.BAT", 11, 0},
    };
    for (const auto& entry : cases) {
        SCOPED_TRACE(entry.path);
        const Result<FileFacts> facts =
            files->ReadFileFacts(QStringLiteral("c:\\") + QLatin1String(entry.path));
        ASSERT_TRUE(facts.ok()) << facts.reason().toStdString();
        EXPECT_EQ(facts.value().size, entry.size);
        EXPECT_EQ(facts.value().attributes, entry.attributes);
        const std::optional<QDateTime> shown = image->Modified(QLatin1String(entry.path));
        ASSERT_TRUE(shown);
        EXPECT_TRUE(facts.value().lastWrite.isValid());
        EXPECT_EQ(facts.value().lastWrite.toUTC(), *shown)
            << facts.value().lastWrite.toString(Qt::ISODate).toStdString() << " against "
            << shown->toString(Qt::ISODate).toStdString();
    }
    EXPECT_EQ(files->ReadFileFacts(QStringLiteral("C:\\WINDOWS\\Even Time.txt")).value().lastWrite,
              QDateTime(QDate(2003, 1, 2), QTime(22, 58, 10), Qt::UTC));
    const QDateTime oddRead =
        files->ReadFileFacts(QStringLiteral("C:\\WINDOWS\\ODD.INI")).value().lastWrite;
    EXPECT_LE(std::abs(oddRead.secsTo(QDateTime(QDate(1999, 7, 4), QTime(11, 37, 43), Qt::UTC))), 1)
        << oddRead.toString(Qt::ISODate).toStdString();

    for (const char* refused : {"C:\\WINDOWS", "C:\\", "C:\\WINDOWS\\NONE.INI", "C:\\NONE\\X"})
        EXPECT_FALSE(files->ReadFileFacts(QLatin1String(refused)).ok()) << refused;
    EXPECT_TRUE(files->ReadFileFacts(QStringLiteral("C:\\WINDOWS\\NONE.INI")).notFound());
}

const Layout Layouts[] = {
    {"fat12_bare", {12, 4, ImageSpec::Layout::Bare}},
    {"fat16_mbr", {16, 40, ImageSpec::Layout::Mbr}},
    {"fat32_mbr", {32, 64, ImageSpec::Layout::Mbr}},
    {"fat32_vhd", {32, 64, ImageSpec::Layout::FixedVhd}},
};

INSTANTIATE_TEST_SUITE_P(Layouts, FatRead, testing::ValuesIn(Layouts),
                         [](const testing::TestParamInfo<Layout>& info) {
                             return std::string(info.param.name);
                         });

}  // namespace
}  // namespace stowix::test
