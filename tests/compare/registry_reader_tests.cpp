// The registry reader of the comparisons on registry files made by the generator: the keys and
// values it hands on, and the differences found between two of them.

#include "compare/registry_reader.h"

#include "registry_damage.h"
#include "registry_file_writer.h"
#include "support/changed_registry.h"
#include "support/qt_printers.h"
#include "support/temp_drive.h"

#include <gtest/gtest.h>

namespace stowix::test {
namespace {

class RegistryReaderTest : public ::testing::Test {
protected:
    Result<RegistryKeys> Read(const QString& path, const QByteArray& bytes) {
        drive.AddFile(path, bytes);
        return CheckedRegistryReader()(drive.Files(), path);
    }
    TempDrive drive;
};

const RegistryKey* Find(const RegistryKeys& keys, const QString& path) {
    for (const RegistryKey& key : keys)
        if (key.path.compare(path, Qt::CaseInsensitive) == 0) return &key;
    return nullptr;
}

TEST_F(RegistryReaderTest, a_generated_registry_is_read_key_by_key_with_its_values) {
    const tools::RegistryKeySpec tree = tools::Windows98SystemTree();
    const Result<RegistryKeys> keys =
        Read("C:\\WINDOWS\\SYSTEM.DAT", tools::WriteRegistryFile(tree).bytes);
    ASSERT_TRUE(keys.ok()) << keys.reason().toStdString();

    // Every key once (the file's nameless root is the hive's root key), values as stored.
    EXPECT_EQ(keys.value().size(), std::size_t(tree.CountKeys()));
    EXPECT_EQ(keys.value().front().path, "HKEY_LOCAL_MACHINE");
    const RegistryKey* computer = Find(keys.value(), ChangedRegistryKey);
    ASSERT_NE(computer, nullptr);
    ASSERT_EQ(computer->values.size(), 1u);
    EXPECT_EQ(computer->values[0].name, "ComputerName");
    EXPECT_EQ(computer->values[0].type, RegistryType::String);
    EXPECT_EQ(computer->values[0].data, QByteArray("WIN98", 6));
    const RegistryKey* update =
        Find(keys.value(), "HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\control\\Update");
    ASSERT_NE(update, nullptr);
    ASSERT_EQ(update->values.size(), 1u);
    EXPECT_EQ(update->values[0].type, RegistryType::Binary);
    EXPECT_EQ(update->values[0].data, QByteArray(1, '\1'));

    const Result<RegistryKeys> user =
        Read("C:\\WINDOWS\\USER.DAT", tools::WriteRegistryFile(tools::Windows98UserTree()).bytes);
    ASSERT_TRUE(user.ok()) << user.reason().toStdString();
    EXPECT_EQ(user.value().front().path, "HKEY_USERS");
    EXPECT_NE(Find(user.value(), "HKEY_USERS\\.Default"), nullptr);
}

TEST_F(RegistryReaderTest, two_generated_registries_differ_by_the_keys_and_values_changed) {
    const Result<RegistryKeys> older =
        Read("C:\\Stowix\\set\\SYSTEM.DAT",
             tools::WriteRegistryFile(tools::Windows98SystemTree()).bytes);
    const Result<RegistryKeys> newer = Read(
        "C:\\WINDOWS\\SYSTEM.DAT", tools::WriteRegistryFile(ChangedWindows98SystemTree()).bytes);
    ASSERT_TRUE(older.ok()) << older.reason().toStdString();
    ASSERT_TRUE(newer.ok()) << newer.reason().toStdString();

    const RegistryDifference difference = CompareRegistries(older.value(), newer.value());

    ASSERT_EQ(difference.keysAdded.size(), 1u);
    EXPECT_EQ(difference.keysAdded[0].compare(AddedRegistryKey, Qt::CaseInsensitive), 0)
        << difference.keysAdded[0].toStdString();
    ASSERT_EQ(difference.keysRemoved.size(), 1u);
    EXPECT_EQ(difference.keysRemoved[0].compare(RemovedRegistryKey, Qt::CaseInsensitive), 0)
        << difference.keysRemoved[0].toStdString();
    ASSERT_EQ(difference.values.size(), 1u);
    const RegistryValueChange& change = difference.values[0];
    EXPECT_EQ(change.keyPath.compare(ChangedRegistryKey, Qt::CaseInsensitive), 0);
    EXPECT_EQ(change.valueName, ChangedRegistryValue);
    EXPECT_EQ(change.kind, RegistryChangeKind::Changed);
    EXPECT_EQ(RegistryDataText(*change.oldValue), "\"WIN98\"");
    EXPECT_EQ(RegistryDataText(*change.newValue), "\"LABPC\"");
    EXPECT_TRUE(CompareRegistries(newer.value(), newer.value()).Empty());
}

TEST_F(RegistryReaderTest, a_damaged_or_unreadable_file_gives_its_reason_not_keys) {
    const Result<RegistryKeys> damaged =
        Read("C:\\WINDOWS\\SYSTEM.DAT",
             tools::DamageRegistryFile(tools::WriteRegistryFile(tools::Windows98SystemTree()),
                                       tools::RegistryDamage::SiblingLoop));
    ASSERT_FALSE(damaged.ok());
    EXPECT_TRUE(damaged.reason().startsWith("C:\\WINDOWS\\SYSTEM.DAT is damaged: "))
        << damaged.reason().toStdString();

    const Result<RegistryKeys> missing =
        CheckedRegistryReader()(drive.Files(), "C:\\WINDOWS\\USER.DAT");
    ASSERT_FALSE(missing.ok());
    EXPECT_TRUE(missing.reason().startsWith("C:\\WINDOWS\\USER.DAT "))
        << missing.reason().toStdString();
}

TEST(RegistryKeysOfItems, values_join_their_key_even_when_listed_out_of_order) {
    const RegistryItems items{
        {"HKEY_USERS", false, {}, 0, {}},
        {"HKEY_USERS\\.Default", false, {}, 0, {}},
        {"HKEY_USERS\\.Default", true, "A", RegistryType::Dword, QByteArray(4, '\1')},
        {"HKEY_USERS\\Other", true, "B", RegistryType::String, "b"},  // before its key
        {"HKEY_USERS\\Other", false, {}, 0, {}},
        {"HKEY_USERS\\.Default", true, "C", RegistryType::String, "c"},
    };
    const RegistryKeys keys = KeysOfRegistryItems(items);
    ASSERT_EQ(keys.size(), 3u);
    EXPECT_EQ(keys[0].path, "HKEY_USERS");
    EXPECT_TRUE(keys[0].values.empty());
    ASSERT_EQ(keys[1].values.size(), 2u);
    EXPECT_EQ(keys[1].values[0].name, "A");
    EXPECT_EQ(keys[1].values[0].data, QByteArray(4, '\1'));
    EXPECT_EQ(keys[1].values[1].name, "C");
    EXPECT_EQ(keys[2].path, "HKEY_USERS\\Other");
    ASSERT_EQ(keys[2].values.size(), 1u);
    EXPECT_EQ(keys[2].values[0].name, "B");
}

}  // namespace
}  // namespace stowix::test
