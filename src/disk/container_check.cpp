#include "disk/container_check.h"

#include "disk/byte_order.h"
#include "disk/image_io.h"

#include <QProcess>
#include <QStandardPaths>
#include <QStringList>

#include <cstring>
#include <vector>

namespace stowix::fat {

namespace {

// qemu-img check's exit statuses.
constexpr int CheckSound = 0;
constexpr int CheckNotCompleted = 1;
constexpr int CheckCorrupt = 2;
constexpr int CheckLeaksOnly = 3;  // clusters nothing uses: harmless, QEMU writes on
constexpr int CheckUnsupported = 63;

// VirtualBox's header (version 1.1): where the blocks start, how large each is, how many the
// file holds.
constexpr std::size_t VdiDataOffset = 0x158;
constexpr std::size_t VdiBlockBytes = 0x178;
constexpr std::size_t VdiBlockExtra = 0x17C;
constexpr std::size_t VdiBlocksAllocated = 0x184;

QString VdiLengthProblem(const unsigned char* head, std::size_t headSize, qint64 size) {
    if (headSize < VdiBlocksAllocated + 4) return QStringLiteral("its header is cut short");
    const qint64 blockBytes = qint64(Le32(head + VdiBlockBytes)) + Le32(head + VdiBlockExtra);
    const qint64 needed =
        qint64(Le32(head + VdiDataOffset)) + qint64(Le32(head + VdiBlocksAllocated)) * blockBytes;
    if (size >= needed) return QString();
    return QStringLiteral(
               "its header says it holds %1 bytes, but the file has only %2 (it was "
               "cut short)")
        .arg(needed)
        .arg(size);
}

// VMDK's sparse header: its flags and compression field tell a streamOptimized disk, whose
// grains are compressed for copying; QEMU reads it but cannot write it in place (it would only
// append to the file).
constexpr std::size_t VmdkFlags = 8;
constexpr std::size_t VmdkCompression = 77;
constexpr uint32_t VmdkCompressedGrains = 1u << 16;

bool IsStreamOptimized(const unsigned char* head, std::size_t headSize) {
    if (headSize < VmdkCompression + 2 || std::memcmp(head, "KDMV", 4) != 0) return false;
    return (Le32(head + VmdkFlags) & VmdkCompressedGrains) != 0 ||
           Le16(head + VmdkCompression) != 0;
}

QString StreamOptimized(const QString& name) {
    return QStringLiteral(
               "%1 is a streamOptimized VMDK disk (compressed, for copying), which QEMU reads "
               "but cannot write, so Stowix reads it but will not write to it. Convert it to a "
               "disk that can be written, for example with qemu-img convert -O vmdk %1 "
               "<new file> (or -O qcow2), and use the new file as the drive.")
        .arg(name);
}

// A dynamic VHD ends with its footer, written again after every block it adds.
QString VhdLengthProblem(const unsigned char* tail) {
    if (tail != nullptr && std::memcmp(tail, "conectix", 8) == 0) return QString();
    return QStringLiteral("its footer is missing from its end (it was cut short)");
}

// The first line qemu-img gave for what it found wrong, without its program name.
QString FirstComplaint(const QString& output) {
    const QStringList lines = output.split(u'\n', Qt::SkipEmptyParts);
    for (const QString& line : lines) {
        if (line.startsWith(QStringLiteral("ERROR")) || line.startsWith(QStringLiteral("Leaked")) ||
            line.startsWith(QStringLiteral("qemu-img:"))) {
            QString text = line;
            text.remove(0, text.indexOf(u':') + 1);
            return text.trimmed();
        }
    }
    return lines.isEmpty() ? QStringLiteral("qemu-img check found it damaged") : lines.first();
}

// A check that stopped before judging the metadata, for a reason qemu-nbd will tell better.
bool NotForTheCheckToSay(const QString& output) {
    return output.contains(QStringLiteral("lock")) || output.contains(QStringLiteral("encrypt")) ||
           output.contains(QStringLiteral("secret")) ||
           output.contains(QStringLiteral("backing file"));
}

QString Damaged(const QString& name, const DiskFormat& format, const QString& what) {
    return QStringLiteral(
               "%1 is a %2 that is damaged (%3), so Stowix reads it but will not write to it. "
               "Repair it first (after the program that uses it has ended, and on a copy): for "
               "example with qemu-img check -r all -f %4 on the file, or in the program that "
               "made it.")
        .arg(name, format.description, what, format.qemuFormat);
}

// Runs qemu-img check; an empty string when the container passes.
QString QemuImgProblem(const std::string& path, const DiskFormat& format) {
    const QString program = QStandardPaths::findExecutable(QStringLiteral("qemu-img"));
    if (program.isEmpty()) return QString();
    QProcess check;
    check.setProcessChannelMode(QProcess::MergedChannels);
    check.setStandardInputFile(QProcess::nullDevice());
    check.start(program, {QStringLiteral("check"), QStringLiteral("-f"), format.qemuFormat,
                          QStringLiteral("--"), QString::fromLocal8Bit(path.c_str())});
    if (!check.waitForFinished(-1) || check.exitStatus() != QProcess::NormalExit) return QString();
    const QString output = QString::fromLocal8Bit(check.readAll());
    switch (check.exitCode()) {
    case CheckSound:
    case CheckLeaksOnly:
    case CheckUnsupported: return QString();
    case CheckCorrupt: return FirstComplaint(output);
    case CheckNotCompleted:
        if (NotForTheCheckToSay(output)) return QString();
        return FirstComplaint(output);
    default: return QString();
    }
}

}  // namespace

QString ContainerLengthProblem(const unsigned char* head, std::size_t headSize,
                               const unsigned char* tail, qint64 size, const DiskFormat& format) {
    if (format.qemuFormat == QLatin1String("vdi")) return VdiLengthProblem(head, headSize, size);
    if (format.qemuFormat == QLatin1String("vpc")) return VhdLengthProblem(tail);
    return QString();
}

Status CheckContainer(int fd, qint64 size, const std::string& path, const DiskFormat& format,
                      const QString& name) {
    std::vector<unsigned char> head(size_t(std::min<qint64>(size, DiskFormatHeadBytes)));
    unsigned char tail[512];
    // A file that cannot be read here fails again when qemu-nbd opens it, which says why.
    if (!ReadExactly(fd, 0, head.data(), qint64(head.size()))) return Status::Ok();
    const bool hasTail = size >= qint64(sizeof tail);
    if (hasTail && !ReadExactly(fd, size - qint64(sizeof tail), tail, sizeof tail))
        return Status::Ok();
    if (IsStreamOptimized(head.data(), head.size())) return Status::Fail(StreamOptimized(name));
    QString problem =
        ContainerLengthProblem(head.data(), head.size(), hasTail ? tail : nullptr, size, format);
    if (problem.isEmpty()) problem = QemuImgProblem(path, format);
    if (problem.isEmpty()) return Status::Ok();
    return Status::Fail(Damaged(name, format, problem));
}

}  // namespace stowix::fat
