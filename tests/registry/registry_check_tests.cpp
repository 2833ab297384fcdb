// The registry check: the walk in its child process over sound and damaged files, and the
// answer it sends back.

#include "registry/registry_check.h"
#include "registry/registry_stream.h"

#include "registry_damage.h"
#include "registry_file_writer.h"
#include "windows98_registry.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace stowix {
namespace {

using namespace std::chrono_literals;
using namespace stowix::tools;

// Small limits, so that a loop ends the test quickly; a sound file of these sizes needs far less.
const RegistryCheckLimits TestLimits{20s, 96 * 1024 * 1024};

RegistryItem KeyItem(const QString& path) {
    RegistryItem item;
    item.keyPath = path;
    return item;
}

bool Holds(const RegistryItems& items, const RegistryItem& wanted) {
    return std::find(items.begin(), items.end(), wanted) != items.end();
}

TEST(RegistryCheck, a_sound_file_yields_every_key_and_value_under_its_root_name) {
    const RegistryKeySpec system = Windows98SystemTree();
    const RegistryCheck check =
        CheckRegistryData(WriteRegistryFile(system).bytes, QStringLiteral("HKEY_LOCAL_MACHINE"),
                          SendItems::Yes, TestLimits);
    ASSERT_EQ(check.verdict, RegistryVerdict::Sound) << check.reason.toStdString();
    EXPECT_EQ(check.keys, system.CountKeys());
    EXPECT_EQ(qint64(std::count_if(check.items.begin(), check.items.end(),
                                   [](const RegistryItem& item) { return !item.isValue; })),
              check.keys);
    EXPECT_EQ(qint64(check.items.size()), check.keys + check.values);
    ASSERT_FALSE(check.items.empty());
    EXPECT_EQ(check.items.front(), KeyItem(QStringLiteral("HKEY_LOCAL_MACHINE")));

    const QString computerName = QStringLiteral(
        "HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\control\\ComputerName\\ComputerName");
    EXPECT_TRUE(Holds(check.items, KeyItem(computerName)));
    EXPECT_TRUE(Holds(check.items, {computerName, true, QStringLiteral("ComputerName"),
                                    RegistryValueType::String, QByteArray("WIN98\0", 6)}));
    const QString timeZone = QStringLiteral(
        "HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\control\\TimeZoneInformation");
    EXPECT_TRUE(Holds(check.items, {timeZone, true, QStringLiteral("Bias"),
                                    RegistryValueType::Dword, QByteArray("\x2c\x01\0\0", 4)}));

    // The user file: the default user is a key below HKEY_USERS.
    const RegistryCheck user =
        CheckRegistryData(WriteRegistryFile(Windows98UserTree()).bytes,
                          QStringLiteral("HKEY_USERS"), SendItems::Yes, TestLimits);
    ASSERT_EQ(user.verdict, RegistryVerdict::Sound) << user.reason.toStdString();
    EXPECT_TRUE(Holds(user.items, {QStringLiteral("HKEY_USERS\\.Default\\Control Panel\\Desktop"),
                                   true, QStringLiteral("Wallpaper"), RegistryValueType::String,
                                   QByteArray("(None)\0", 7)}));
}

TEST(RegistryCheck, names_in_the_ansi_code_page_and_default_values_arrive_as_stored) {
    RegistryKeySpec root;
    root.Key("Software\\Caf\xe9")
        .String({}, "d\xe9j\xe0")
        .Binary("Bytes", QByteArray("\0\xff\x01", 3));
    const RegistryCheck check = CheckRegistryData(WriteRegistryFile(root).bytes,
                                                  QStringLiteral("R"), SendItems::Yes, TestLimits);
    ASSERT_EQ(check.verdict, RegistryVerdict::Sound) << check.reason.toStdString();
    const QString key = QStringLiteral("R\\Software\\Caf\u00e9");
    EXPECT_TRUE(Holds(check.items, {key, true, QString(), RegistryValueType::String,
                                    QByteArray("d\xe9j\xe0\0", 5)}));
    EXPECT_TRUE(Holds(check.items, {key, true, QStringLiteral("Bytes"), RegistryValueType::Binary,
                                    QByteArray("\0\xff\x01", 3)}));
}

TEST(RegistryCheck, every_kind_of_damage_is_found_and_named) {
    const RegistryFileLayout layout = WriteRegistryFile(Windows98SystemTree());
    struct Case {
        RegistryDamage damage;
        const char* reasonHolds;  // a word of the reason; the loops end by a limit or the walk
    } cases[] = {
        {RegistryDamage::CutShort, "cannot be"},
        {RegistryDamage::FileSignature, "CREG"},
        {RegistryDamage::KeyTreeSignature, "no root key"},
        {RegistryDamage::FirstBlockSignature, "no root key"},
        {RegistryDamage::KeyOffsetOutOfRange, "cannot be read"},
        {RegistryDamage::BlockOutOfRange, "cannot be read"},
        {RegistryDamage::ValueOutOfRange, "cannot be read"},
        {RegistryDamage::OwnAncestor, "its own ancestor"},
        {RegistryDamage::SiblingLoop, "loops"},
    };
    for (const Case& c : cases) {
        const auto name =
            std::find_if(RegistryDamages().begin(), RegistryDamages().end(),
                         [&](const RegistryDamageName& n) { return n.damage == c.damage; });
        SCOPED_TRACE(name->name);
        const RegistryCheck check =
            CheckRegistryData(DamageRegistryFile(layout, c.damage),
                              QStringLiteral("HKEY_LOCAL_MACHINE"), SendItems::Yes, TestLimits);
        EXPECT_EQ(check.verdict, RegistryVerdict::Damaged);
        EXPECT_TRUE(check.reason.contains(QLatin1String(c.reasonHolds)))
            << check.reason.toStdString();
        EXPECT_TRUE(check.items.empty());
    }
}

TEST(RegistryCheck, the_limits_end_a_walk_that_runs_too_long_or_grows_too_large) {
    const QByteArray grown = WriteRegistryFile(Windows98SystemTree(4 * 1024 * 1024)).bytes;
    const RegistryCheck slow = CheckRegistryData(grown, QStringLiteral("HKEY_LOCAL_MACHINE"),
                                                 SendItems::Yes, {50ms, TestLimits.memoryBytes});
    EXPECT_EQ(slow.verdict, RegistryVerdict::Damaged);
    EXPECT_TRUE(slow.reason.contains(QLatin1String("took longer than")))
        << slow.reason.toStdString();

    const QByteArray loop =
        DamageRegistryFile(WriteRegistryFile(Windows98UserTree()), RegistryDamage::SiblingLoop);
    const RegistryCheck large = CheckRegistryData(loop, QStringLiteral("HKEY_USERS"), SendItems::No,
                                                  {120s, 32 * 1024 * 1024});
    EXPECT_EQ(large.verdict, RegistryVerdict::Damaged);
    EXPECT_TRUE(large.reason.contains(QLatin1String("MiB of memory")) ||
                large.reason.contains(QLatin1String("broke down")))
        << large.reason.toStdString();
}

TEST(RegistryStream, a_cut_off_or_garbled_answer_is_never_taken_for_a_finding) {
    RegistryStreamWriter writer;
    writer.Key(QStringLiteral("HKEY_USERS"));
    writer.Value(QStringLiteral("HKEY_USERS"), QStringLiteral("N"), 1, QByteArray("x\0", 2));
    writer.Sound(1, 1);
    const QByteArray whole = writer.Take();
    Result<RegistryReport> read = ReadRegistryStream(whole);
    ASSERT_TRUE(read.ok());
    EXPECT_TRUE(read.value().sound);
    EXPECT_EQ(read.value().items.size(), 2u);

    for (qsizetype cut = 0; cut < whole.size(); ++cut) {
        SCOPED_TRACE(cut);
        EXPECT_FALSE(ReadRegistryStream(whole.left(cut)).ok());
    }
    EXPECT_FALSE(ReadRegistryStream(whole + "S").ok());
    EXPECT_FALSE(ReadRegistryStream(QByteArray("X")).ok());
}

}  // namespace
}  // namespace stowix
