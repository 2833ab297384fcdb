#pragma once
// The frame of the program tests with drive C: a disk image: an MBR disk with one FAT32
// partition made by mtools from the generated Windows 98 drive, the world's programs pointed at
// it, and the checks of a set's files, the user's files and the volume (fsck.fat).

#include "fault_fixture.h"

#include "image/mtools_image.h"
#include "image_writer.h"
#include "windows98_drive.h"

#include <QFileInfo>

#include <functional>
#include <optional>

namespace stowix::test {

// The files a set must hold, drive-relative, each with where it comes from.
inline const char* const ImageSetSources[][2] = {
    {"AUTOEXEC.BAT", "AUTOEXEC.BAT"},      {"IO.SYS", "IO.SYS"},
    {"SYSTEM.DAT", "WINDOWS\\SYSTEM.DAT"}, {"USER.DAT", "WINDOWS\\USER.DAT"},
    {"WIN.INI", "WINDOWS\\WIN.INI"},       {"SYSTEM.INI", "WINDOWS\\SYSTEM.INI"},
    {"MAIN.GRP", "WINDOWS\\MAIN.GRP"},     {"ADMIN.PWL", "WINDOWS\\ADMIN.PWL"},
};

class ImageProgram : public ::testing::Test {
protected:
    void SetUp() override {
        world.emplace();
        imagePath = world->Root() + QStringLiteral("/c.img");
        const QString error =
            tools::WriteDriveImage(tools::Windows98Drive(driveOptions), imagePath, world->Root());
        ASSERT_TRUE(error.isEmpty()) << error.toStdString();
        world->UseDriveC(imagePath);
        image.emplace(imagePath, tools::ImagePartitionOffset,
                      QFileInfo(imagePath).size() - tools::ImagePartitionOffset);
        for (const auto& source : ImageSetSources)
            originals.insert(QLatin1String(source[1]), Bytes(QLatin1String(source[1])));
    }

    QByteArray Bytes(const QString& path) {
        return image->Bytes(path).value_or(QByteArray("<missing>"));
    }

    RunResult Backup(const Faults& faults = {}) {
        RunOptions options = UnattendedRun();
        options.faults = faults;
        return world->Stowix(options);
    }

    QStringList Sets() { return image->Names(QStringLiteral("Stowix")); }

    // A set's files are whole copies of their sources (or, for a set cut short, missing).
    QStringList SetProblems(const QString& set, bool complete) {
        QStringList problems;
        const QStringList names = image->Names(QStringLiteral("Stowix\\") + set);
        for (const auto& source : ImageSetSources) {
            const QString name = QLatin1String(source[0]);
            if (!names.contains(name, Qt::CaseInsensitive)) {
                if (complete) problems.append(name + QStringLiteral(" is missing from ") + set);
                continue;
            }
            if (Bytes(QStringLiteral("Stowix\\") + set + u'\\' + name) !=
                originals.value(QLatin1String(source[1])))
                problems.append(name + QStringLiteral(" in ") + set +
                                QStringLiteral(" is not whole"));
        }
        return problems;
    }

    QStringList UserFileProblems() {
        QStringList problems;
        for (auto it = originals.begin(); it != originals.end(); ++it) {
            if (Bytes(it.key()) != it.value())
                problems.append(it.key() + QStringLiteral(" changed"));
        }
        return problems;
    }

    // fsck.fat finds at worst what a kill may leave; a table whose copies differ is mended as a
    // user would mend it (the program refuses to write until then).
    void ExpectOnlyLostClusters() {
        const QString damage = image->FsckDamage();
        EXPECT_TRUE(damage.isEmpty()) << damage.toStdString();
        if (!image->FsckProblems().isEmpty()) image->FsckRepair();
    }

    void ExpectClean() {
        const QString problems = image->FsckProblems();
        EXPECT_TRUE(problems.isEmpty()) << problems.toStdString();
    }

    // Puts the image back as it was saved.
    void PutBack(const QString& saved) {
        ASSERT_TRUE(QFile::remove(imagePath));
        ASSERT_TRUE(QFile::copy(saved, imagePath));
    }

    QString Save(const QString& name) {
        const QString saved = world->Root() + u'/' + name;
        QFile::remove(saved);
        EXPECT_TRUE(QFile::copy(imagePath, saved));
        return saved;
    }

    long long CountChanges(const std::function<RunResult(const Faults&)>& run) {
        Faults counting;
        counting.countFile = world->Root() + QStringLiteral("/changes");
        const RunResult result = run(counting);
        EXPECT_TRUE(result.Ended(0)) << result.Describe();
        QFile file(counting.countFile);
        if (!file.open(QIODevice::ReadOnly)) return 0;
        return file.readAll().trimmed().toLongLong();
    }

    tools::DriveOptions driveOptions;
    std::optional<FaultWorld> world;
    QString imagePath;
    std::optional<MtoolsImage> image;
    QMap<QString, QByteArray> originals;
};

}  // namespace stowix::test
