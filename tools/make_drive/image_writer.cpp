#include "image_writer.h"

#include "drive_writer.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>

#include <algorithm>

namespace stowix::tools {

namespace {

void PutLe32(QByteArray& bytes, int at, quint32 value) {
    for (int i = 0; i < 4; ++i) bytes[at + i] = char(value >> (8 * i));
}

// Runs one mtools command on the partition; an empty text when it worked.
QString Mtools(const QString& command, const QString& target, QStringList arguments) {
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("MTOOLS_SKIP_CHECK"), QStringLiteral("1"));
    process.setProcessEnvironment(environment);
    arguments.prepend(target);
    arguments.prepend(QStringLiteral("-i"));
    process.start(command, arguments);
    if (!process.waitForStarted())
        return command + QStringLiteral(" could not be started; is mtools installed?");
    if (!process.waitForFinished(-1) || process.exitStatus() != QProcess::NormalExit ||
        process.exitCode() != 0)
        return command + QStringLiteral(" failed: ") +
               QString::fromLocal8Bit(process.readAllStandardError()).trimmed();
    return {};
}

QString AttributeTarget(const QString& drivePath) {
    return QStringLiteral("::/") + QString(drivePath).replace(u'\\', u'/');
}

}  // namespace

QString WriteDriveImage(const DriveContents& contents, const QString& imagePath,
                        const QString& workFolder, int volumeMegabytes) {
    qint64 bytes = 0;
    for (const DriveFile& file : contents.files) bytes += file.contents.size();
    // Room for the drive twice over (a backup set beside it) and more, and never less than
    // FAT32's smallest useful size.
    const qint64 mib = 1024 * 1024;
    const qint64 volumeBytes = volumeMegabytes > 0
                                   ? qint64(volumeMegabytes) * mib
                                   : std::max<qint64>(128 * mib, (bytes * 3 / mib + 64) * mib);
    if (volumeBytes < 40 * mib || volumeBytes / 512 > 0xFFFFFFFFll)
        return QStringLiteral("the image's volume must be from 40 MiB to 2 TiB large");

    QFile::remove(imagePath);
    QFile image(imagePath);
    if (!image.open(QIODevice::WriteOnly))
        return imagePath + QStringLiteral(": ") + image.errorString();
    if (!image.resize(ImagePartitionOffset + volumeBytes))
        return imagePath + QStringLiteral(": ") + image.errorString();
    QByteArray mbr(512, '\0');
    mbr[446] = char(0x80);
    mbr[446 + 4] = char(0x0C);  // FAT32, addressed by LBA
    PutLe32(mbr, 446 + 8, quint32(ImagePartitionOffset / 512));
    PutLe32(mbr, 446 + 12, quint32(volumeBytes / 512));
    mbr[510] = char(0x55);
    mbr[511] = char(0xAA);
    if (image.write(mbr) != mbr.size() || !image.flush())
        return imagePath + QStringLiteral(": ") + image.errorString();
    image.close();

    const QString target = imagePath + QStringLiteral("@@") + QString::number(ImagePartitionOffset);
    if (QString error =
            Mtools(QStringLiteral("mformat"), target,
                   {QStringLiteral("-F"), QStringLiteral("-T"), QString::number(volumeBytes / 512),
                    QStringLiteral("-H"), QString::number(ImagePartitionOffset / 512),
                    QStringLiteral("-h"), QStringLiteral("16"), QStringLiteral("-s"),
                    QStringLiteral("63"), QStringLiteral("::")});
        !error.isEmpty())
        return error;

    const QString staging = workFolder + QStringLiteral("/drive");
    QDir(staging).removeRecursively();
    if (QString error = WriteDrive(contents, staging); !error.isEmpty()) return error;
    QStringList copy{QStringLiteral("-s"), QStringLiteral("-p"), QStringLiteral("-m")};
    for (const QString& entry : QDir(staging).entryList(QDir::AllEntries | QDir::NoDotAndDotDot))
        copy << staging + u'/' + entry;
    copy << QStringLiteral("::/");
    if (QString error = Mtools(QStringLiteral("mcopy"), target, copy); !error.isEmpty())
        return error;
    // mcopy gives every file the archive bit alone; the others come from the contents.
    for (const DriveFile& file : contents.files) {
        if (file.attributes == 0x20) continue;
        QStringList flags;
        flags << ((file.attributes & 0x01) ? QStringLiteral("+r") : QStringLiteral("-r"))
              << ((file.attributes & 0x02) ? QStringLiteral("+h") : QStringLiteral("-h"))
              << ((file.attributes & 0x04) ? QStringLiteral("+s") : QStringLiteral("-s"))
              << ((file.attributes & 0x20) ? QStringLiteral("+a") : QStringLiteral("-a"))
              << AttributeTarget(file.path);
        if (QString error = Mtools(QStringLiteral("mattrib"), target, flags); !error.isEmpty())
            return error;
    }
    QDir(staging).removeRecursively();
    return {};
}

}  // namespace stowix::tools
