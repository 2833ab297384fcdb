#include "image/mtools_image.h"

#include "windows98_drive.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>

#include <gtest/gtest.h>

namespace stowix::test {

QByteArray FileDigest(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return QByteArray();
    QCryptographicHash hash(QCryptographicHash::Sha256);
    hash.addData(&file);
    return hash.result();
}

namespace {

constexpr qint64 PartitionStart = 1024 * 1024;

void PutLe32(QByteArray& bytes, int at, quint32 value) {
    for (int i = 0; i < 4; ++i) bytes[at + i] = char(value >> (8 * i));
}

void PutBe32(QByteArray& bytes, int at, quint32 value) {
    for (int i = 0; i < 4; ++i) bytes[at + i] = char(value >> (8 * (3 - i)));
}

QString AttributeFlags(int attributes) {
    QString flags;
    flags += (attributes & 0x01) ? QStringLiteral("+r ") : QStringLiteral("-r ");
    flags += (attributes & 0x02) ? QStringLiteral("+h ") : QStringLiteral("-h ");
    flags += (attributes & 0x04) ? QStringLiteral("+s ") : QStringLiteral("-s ");
    flags += (attributes & 0x20) ? QStringLiteral("+a") : QStringLiteral("-a");
    return flags;
}

}  // namespace

std::pair<int, QByteArray> RunProgram(const QString& program, const QStringList& arguments) {
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("MTOOLS_SKIP_CHECK"), QStringLiteral("1"));
    environment.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
    process.setProcessEnvironment(environment);
    process.setProcessChannelMode(QProcess::SeparateChannels);
    process.start(program, arguments);
    if (!process.waitForFinished(120000) || process.exitStatus() != QProcess::NormalExit)
        return {-1, process.readAllStandardOutput() + process.readAllStandardError()};
    QByteArray output = process.readAllStandardOutput();
    const QByteArray errors = process.readAllStandardError();
    if (process.exitCode() != 0) output += errors;
    return {process.exitCode(), output};
}

MtoolsImage::MtoolsImage(const ImageSpec& spec) {
    m_image = m_folder.filePath(QStringLiteral("disk.img"));
    m_volumeBytes = qint64(spec.megabytes) * 1024 * 1024;
    const bool partitioned = spec.layout != ImageSpec::Layout::Bare;
    m_offset = partitioned ? PartitionStart : 0;
    QFile file(m_image);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    file.resize(m_offset + m_volumeBytes);
    if (partitioned) {
        QByteArray mbr(512, '\0');
        const int entry = 446;
        mbr[entry] = char(0x80);
        mbr[entry + 4] = char(spec.fatBits == 32 ? 0x0C : spec.fatBits == 16 ? 0x06 : 0x01);
        PutLe32(mbr, entry + 8, quint32(PartitionStart / 512));
        PutLe32(mbr, entry + 12, quint32(m_volumeBytes / 512));
        mbr[510] = char(0x55);
        mbr[511] = char(0xAA);
        file.seek(0);
        file.write(mbr);
    }
    file.close();

    QStringList format{QStringLiteral("-T"), QString::number(m_volumeBytes / 512),
                       QStringLiteral("-h"), QStringLiteral("16"),
                       QStringLiteral("-s"), QStringLiteral("63")};
    if (partitioned) format << QStringLiteral("-H") << QString::number(m_offset / 512);
    if (spec.fatBits == 32)
        format << QStringLiteral("-F");
    else if (spec.fatBits == 12)
        format << QStringLiteral("-c") << QStringLiteral("1");
    const auto [status, output] = Mtools(QStringLiteral("mformat"), format << QStringLiteral("::"));
    EXPECT_EQ(status, 0) << output.toStdString();

    if (spec.layout == ImageSpec::Layout::FixedVhd) {
        QByteArray footer(512, '\0');
        footer.replace(0, 8, "conectix");
        PutBe32(footer, 8, 2);
        PutBe32(footer, 12, 0x00010000);
        PutBe32(footer, 16, 0xFFFFFFFF);
        PutBe32(footer, 16 + 4, 0xFFFFFFFF);
        PutBe32(footer, 48 + 4, quint32(m_offset + m_volumeBytes));
        PutBe32(footer, 40 + 4, quint32(m_offset + m_volumeBytes));
        PutBe32(footer, 60, 2);
        quint32 sum = 0;
        for (char byte : footer) sum += quint8(byte);
        PutBe32(footer, 64, ~sum);
        QFile vhd(m_image);
        EXPECT_TRUE(vhd.open(QIODevice::Append));
        vhd.write(footer);
    }
}

MtoolsImage::MtoolsImage(const QString& existing, qint64 offset, qint64 volumeBytes)
    : m_image(existing), m_offset(offset), m_volumeBytes(volumeBytes) {}

QString MtoolsImage::Target(const QString& path) const {
    QString target = path;
    target.replace(u'\\', u'/');
    if (target.startsWith(QStringLiteral("C:"))) target = target.mid(2);
    if (!target.startsWith(u'/')) target.prepend(u'/');
    return QStringLiteral("::") + target;
}

std::pair<int, QByteArray> MtoolsImage::Mtools(const QString& command,
                                               QStringList arguments) const {
    const QString image =
        m_offset == 0 ? m_image : m_image + QStringLiteral("@@") + QString::number(m_offset);
    arguments.prepend(image);
    arguments.prepend(QStringLiteral("-i"));
    return RunProgram(command, arguments);
}

void MtoolsImage::AddFolder(const QString& path) {
    const auto [status, output] = Mtools(QStringLiteral("mmd"), {Target(path)});
    EXPECT_EQ(status, 0) << output.toStdString();
}

void MtoolsImage::AddFile(const QString& path, const QByteArray& bytes, int attributes,
                          std::optional<QDateTime> modified) {
    const QString host = m_folder.filePath(QStringLiteral("upload"));
    QFile file(host);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
    file.close();
    if (modified) {
        EXPECT_TRUE(file.open(QIODevice::ReadWrite));
        file.setFileTime(*modified, QFileDevice::FileModificationTime);
        file.close();
    }
    const auto [status, output] = Mtools(
        QStringLiteral("mcopy"), {QStringLiteral("-o"), QStringLiteral("-m"), host, Target(path)});
    EXPECT_EQ(status, 0) << output.toStdString();
    QStringList flags = AttributeFlags(attributes).split(u' ');
    const auto [attributeStatus, attributeOutput] =
        Mtools(QStringLiteral("mattrib"), flags << Target(path));
    EXPECT_EQ(attributeStatus, 0) << attributeOutput.toStdString();
    QFile::remove(host);
}

void MtoolsImage::AddDrive(const tools::DriveContents& contents) {
    const QString host = m_folder.filePath(QStringLiteral("drive"));
    QDir().mkpath(host);
    for (const QString& folder : contents.folders)
        QDir().mkpath(host + u'/' + QString(folder).replace(u'\\', u'/'));
    for (const tools::DriveFile& file : contents.files) {
        QFile out(host + u'/' + QString(file.path).replace(u'\\', u'/'));
        EXPECT_TRUE(out.open(QIODevice::WriteOnly));
        out.write(file.contents);
        out.close();
        EXPECT_TRUE(out.open(QIODevice::ReadWrite));
        out.setFileTime(file.modified, QFileDevice::FileModificationTime);
        out.close();
    }
    QStringList arguments{QStringLiteral("-s"), QStringLiteral("-p"), QStringLiteral("-m")};
    for (const QString& entry : QDir(host).entryList(QDir::AllEntries | QDir::NoDotAndDotDot))
        arguments << host + u'/' + entry;
    arguments << QStringLiteral("::/");
    const auto [status, output] = Mtools(QStringLiteral("mcopy"), arguments);
    EXPECT_EQ(status, 0) << output.toStdString();
    for (const tools::DriveFile& file : contents.files) {
        if (file.attributes == 0x20) continue;
        QStringList flags = AttributeFlags(file.attributes).split(u' ');
        const auto [attributeStatus, attributeOutput] =
            Mtools(QStringLiteral("mattrib"), flags << Target(file.path));
        EXPECT_EQ(attributeStatus, 0) << attributeOutput.toStdString();
    }
    QDir(host).removeRecursively();
}

std::optional<QByteArray> MtoolsImage::Bytes(const QString& path) const {
    const QString host = m_folder.filePath(QStringLiteral("download"));
    QFile::remove(host);
    const auto [status, output] =
        Mtools(QStringLiteral("mcopy"), {QStringLiteral("-n"), Target(path), host});
    (void)output;
    if (status != 0) return std::nullopt;
    QFile file(host);
    if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
    return file.readAll();
}

std::optional<QDateTime> MtoolsImage::Modified(const QString& path) const {
    const QString host = m_folder.filePath(QStringLiteral("download"));
    QFile::remove(host);
    const auto [status, output] = Mtools(
        QStringLiteral("mcopy"), {QStringLiteral("-n"), QStringLiteral("-m"), Target(path), host});
    (void)output;
    if (status != 0) return std::nullopt;
    return QFileInfo(host).lastModified().toUTC();
}

int MtoolsImage::Attributes(const QString& path) const {
    const auto [status, output] = Mtools(QStringLiteral("mattrib"), {Target(path)});
    if (status != 0) return -1;
    const QByteArray flags = output.left(output.indexOf("::"));
    int attributes = 0;
    if (flags.contains('R')) attributes |= 0x01;
    if (flags.contains('H')) attributes |= 0x02;
    if (flags.contains('S')) attributes |= 0x04;
    if (flags.contains('A')) attributes |= 0x20;
    return attributes;
}

QStringList MtoolsImage::Names(const QString& folder) const {
    QString target = Target(folder);
    if (!target.endsWith(u'/')) target += u'/';
    const auto [status, output] =
        Mtools(QStringLiteral("mdir"), {QStringLiteral("-a"), QStringLiteral("-b"), target});
    QStringList names;
    if (status != 0) return names;
    for (const QByteArray& line : output.split('\n')) {
        QString name = QString::fromUtf8(line).trimmed();
        if (name.isEmpty()) continue;
        if (name.endsWith(u'/')) name.chop(1);
        names.append(name.mid(name.lastIndexOf(u'/') + 1));
    }
    names.sort();
    return names;
}

QString MtoolsImage::ShortName(const QString& path) const {
    const qsizetype split = QString(path).replace(u'\\', u'/').lastIndexOf(u'/');
    const QString folder = split < 0 ? QString() : path.left(split);
    const QString name = split < 0 ? path : path.mid(split + 1);
    const auto [status, output] =
        Mtools(QStringLiteral("mdir"), {QStringLiteral("-a"), Target(folder) + u'/'});
    if (status != 0) return QString();
    for (const QByteArray& raw : output.split('\n')) {
        const QString line = QString::fromUtf8(raw);
        if (line.size() < 13 || !line.trimmed().endsWith(name)) continue;
        const QString base = line.left(8).trimmed();
        const QString extension = line.mid(9, 3).trimmed();
        return extension.isEmpty() ? base : base + u'.' + extension;
    }
    return QString();
}

namespace {

// Copies a volume out of an image into a file of its own, or back.
bool CopyVolume(const QString& from, qint64 fromOffset, const QString& to, qint64 toOffset,
                qint64 bytes) {
    QFile in(from);
    QFile out(to);
    if (!in.open(QIODevice::ReadOnly) || !out.open(QIODevice::ReadWrite)) return false;
    in.seek(fromOffset);
    out.seek(toOffset);
    for (qint64 left = bytes; left > 0;) {
        const QByteArray chunk = in.read(std::min<qint64>(left, 4 << 20));
        if (chunk.isEmpty()) break;
        if (out.write(chunk) != chunk.size()) return false;
        left -= chunk.size();
    }
    return true;
}

}  // namespace

qint64 MtoolsImage::FreeBytes() const {
    const QByteArray listing = Mtools(QStringLiteral("mdir"), {QStringLiteral("::/")}).second;
    for (const QByteArray& line : listing.split('\n')) {
        const qsizetype at = line.indexOf("bytes free");
        if (at < 0) continue;
        QByteArray digits;
        for (const char c : line.left(at))
            if (c >= '0' && c <= '9') digits.append(c);
        return digits.toLongLong();
    }
    return -1;
}

QString MtoolsImage::FsckProblems() const {
    const QString volume = m_folder.filePath(QStringLiteral("volume.fsck"));
    QFile::remove(volume);
    if (!CopyVolume(m_image, m_offset, volume, 0, m_volumeBytes))
        return QStringLiteral("cannot extract the volume");
    const auto [status, output] =
        RunProgram(QStringLiteral("fsck.fat"), {QStringLiteral("-n"), volume});
    QFile::remove(volume);
    if (status == 0) return QString();
    return QStringLiteral("fsck.fat -n ended with %1:\n%2")
        .arg(status)
        .arg(QString::fromUtf8(output));
}

QString MtoolsImage::FsckDamage() const {
    const QString report = FsckProblems();
    if (report.isEmpty()) return report;
    static const char* const harmless[] = {
        "fsck.fat -n ended with", "fsck.fat 4", "FATs differ but appear to be intact",
        "Using first FAT", "Reclaimed ", "Leaving filesystem unchanged",
        "volume.fsck:", "Free cluster summary", "Auto-correcting", "  Set to",
        // the dirty bit a killed run leaves set
        "Dirty bit is set", "Automatically removing dirty bit"};
    for (const QString& line : report.split(u'\n')) {
        if (line.trimmed().isEmpty()) continue;
        bool known = false;
        for (const char* prefix : harmless)
            known = known || line.trimmed().startsWith(QLatin1String(prefix).trimmed()) ||
                    line.contains(QLatin1String("volume.fsck:"));
        if (!known) return report;
    }
    return QString();
}

void MtoolsImage::FsckRepair() {
    const QString volume = m_folder.filePath(QStringLiteral("volume.fsck"));
    QFile::remove(volume);
    ASSERT_TRUE(CopyVolume(m_image, m_offset, volume, 0, m_volumeBytes));
    const auto [status, output] =
        RunProgram(QStringLiteral("fsck.fat"), {QStringLiteral("-a"), volume});
    EXPECT_TRUE(status == 0 || status == 1) << output.toStdString();
    ASSERT_TRUE(CopyVolume(volume, 0, m_image, m_offset, m_volumeBytes));
    QFile::remove(volume);
}

void MtoolsImage::PokeVolume(qint64 offset, const QByteArray& bytes) {
    QFile file(m_image);
    EXPECT_TRUE(file.open(QIODevice::ReadWrite));
    file.seek(m_offset + offset);
    file.write(bytes);
}

QByteArray MtoolsImage::PeekVolume(qint64 offset, qint64 size) const {
    QFile file(m_image);
    if (!file.open(QIODevice::ReadOnly)) return QByteArray();
    file.seek(m_offset + offset);
    return file.read(size);
}

}  // namespace stowix::test
