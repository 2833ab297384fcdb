// The generator's files, read by libcreg's own export tool: every key is there, with its values.

#include "registry_damage.h"
#include "registry_file_writer.h"
#include "windows98_registry.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace stowix {
namespace {

using namespace stowix::tools;

struct Export {
    int status = -1;
    QString output;
};

// Runs cregexport on the bytes; fails the test when it cannot be run or does not end in time.
Export ExportWithCregexport(const QByteArray& bytes) {
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("REG.DAT"));
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
    file.close();
    QProcess process;
    process.start(QStringLiteral("cregexport"), {path});
    EXPECT_TRUE(process.waitForStarted()) << "cregexport (libcreg-utils) is not installed";
    if (!process.waitForFinished(60'000)) {
        process.kill();
        process.waitForFinished();
        ADD_FAILURE() << "cregexport did not end";
        return {};
    }
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            QString::fromUtf8(process.readAllStandardOutput())};
}

TEST(GeneratedRegistry, cregexport_reads_every_key_and_value_of_both_files) {
    struct Case {
        const char* name;
        RegistryKeySpec tree;
        qsizetype minimumSize;
        std::vector<const char*> expected;  // lines of the export
    } cases[] = {
        {"SYSTEM.DAT",
         Windows98SystemTree(),
         0,
         {"Key path: System\\CurrentControlSet\\control\\ComputerName\\ComputerName",
          "Value: 0 ComputerName", "Data: WIN98",
          "Key path: SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run",
          "Data: C:\\WINDOWS\\scanregw.exe /autorun", "Value: 0 Bias",
          "Type: 32-bit integer little-endian (REG_DWORD_LITTLE_ENDIAN)", "Data: 300",
          "Type: binary data (REG_BINARY)"}},
        {"SYSTEM.DAT filled up to 3 MiB",
         Windows98SystemTree(),
         3 * 1024 * 1024,
         {"Key path: Enum\\Root\\*PNP0C01\\0000", "Data: System board"}},
        {"USER.DAT",
         Windows98UserTree(),
         0,
         {"Key path: .Default\\Control Panel\\Desktop", "Value: 3 Wallpaper", "Data: (None)",
          "Key path: .Default\\AppEvents\\Schemes\\Apps\\.Default\\SystemStart\\.Current"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const RegistryFileLayout layout = WriteRegistryFile(c.tree, c.minimumSize);
        if (c.minimumSize > 0) {
            EXPECT_EQ(layout.bytes.size(), c.minimumSize);
        }
        const Export exported = ExportWithCregexport(layout.bytes);
        EXPECT_EQ(exported.status, 0);
        EXPECT_EQ(exported.output.count(QStringLiteral("\nKey path: ")), c.tree.CountKeys());
        const QStringList lines = exported.output.split(u'\n');
        for (const char* line : c.expected)
            EXPECT_TRUE(lines.contains(QString::fromLatin1(line))) << line;
    }
}

TEST(GeneratedRegistry, a_realistic_tree_has_hundreds_of_keys_in_several_data_blocks) {
    const RegistryKeySpec system = Windows98SystemTree();
    EXPECT_GE(system.CountKeys(), 300);
    EXPECT_GE(Windows98UserTree().CountKeys(), 100);
    const RegistryFileLayout layout = WriteRegistryFile(system);
    EXPECT_GE(layout.blocksWithKeys, 3);
    EXPECT_EQ(WriteRegistryFile(system).bytes, layout.bytes);  // the same tree, the same bytes

    // Grown, the tree reaches about the size asked for.
    const qsizetype grown = WriteRegistryFile(Windows98SystemTree(2 * 1024 * 1024)).bytes.size();
    EXPECT_GT(grown, 2 * 1024 * 1024);
    EXPECT_LT(grown, 3 * 1024 * 1024);
}

TEST(GeneratedRegistry, cregexport_fails_or_finds_no_root_on_the_damaged_variants_that_end) {
    const RegistryFileLayout layout = WriteRegistryFile(Windows98UserTree());
    for (const RegistryDamageName& damage : RegistryDamages()) {
        // These two make cregexport itself loop; the checker's own tests cover them.
        if (damage.damage == RegistryDamage::OwnAncestor ||
            damage.damage == RegistryDamage::SiblingLoop)
            continue;
        SCOPED_TRACE(damage.name);
        const Export exported = ExportWithCregexport(DamageRegistryFile(layout, damage.damage));
        const bool noRoot = exported.output.contains(QStringLiteral("No root key"));
        EXPECT_TRUE(exported.status != 0 || noRoot) << exported.output.left(400).toStdString();
    }
}

}  // namespace
}  // namespace stowix
