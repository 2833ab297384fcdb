#include "drives/drive_candidates.h"

#include "drives/open_drives.h"
#include "fs/windows_folder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>

namespace stowix {

namespace {

struct DiskFormat {
    const char* suffix;
    const char* kind;
};

constexpr DiskFormat DiskFormats[] = {
    {"qcow2", "QEMU disk (qcow2)"},
    {"qcow", "QEMU disk (qcow)"},
    {"vdi", "VirtualBox disk (VDI)"},
    {"vmdk", "VMware disk (VMDK)"},
    {"vhd", "Virtual PC disk (VHD)"},
    {"vhdx", "Hyper-V disk (VHDX)"},
    {"img", "disk image"},
    {"ima", "disk image"},
    {"raw", "disk image"},
    {"dsk", "disk image"},
};

// The folders under home where Wine front-ends keep one prefix per folder.
const char* const PrefixCollections[] = {
    ".local/share/wineprefixes",                             // winetricks
    ".PlayOnLinux/wineprefix",                               // PlayOnLinux
    ".local/share/bottles/bottles",                          // Bottles
    ".var/app/com.usebottles.bottles/data/bottles/bottles",  // Bottles (Flatpak)
    "Games",                                                 // Lutris
    ".local/share/lutris/runners/wine/prefixes",
};

// Folders under home where disk images are kept, looked into one level deep.
const char* const ImageFolders[] = {
    "VirtualBox VMs",
    "vms",
    "VMs",
    "vm",
    "VM",
    "qemu",
    "QEMU",
    "virtual-machines",
    ".local/share/libvirt/images",
    ".local/share/gnome-boxes/images",
};

QStringList SubFolders(const QString& folder) {
    QStringList folders;
    const QDir dir(folder);
    for (const QString& name : dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden))
        folders.append(dir.filePath(name));
    return folders;
}

QStringList DiskFilesIn(const QString& folder) {
    QStringList files;
    const QDir dir(folder);
    for (const QString& name : dir.entryList(QDir::Files | QDir::Readable))
        if (!DiskKindOfName(name).isEmpty()) files.append(dir.filePath(name));
    return files;
}

class CandidateList {
public:
    void Offer(const QString& path, const QString& kind) {
        const QFileInfo info(path);
        const QString key = info.exists() ? info.canonicalFilePath() : path;
        if (m_seen.contains(key)) return;
        m_seen.insert(key);
        if (HoldsWindowsFolder(path)) m_found.push_back({QDir::cleanPath(path), kind});
    }
    std::vector<DriveCandidate> Take() { return std::move(m_found); }

private:
    QSet<QString> m_seen;
    std::vector<DriveCandidate> m_found;
};

void OfferWinePrefixes(const CandidatePlaces& places, CandidateList& list) {
    const auto offer = [&](const QString& prefix) {
        if (QFileInfo(prefix + QStringLiteral("/drive_c")).isDir())
            list.Offer(prefix, QStringLiteral("Wine prefix"));
    };
    if (!places.winePrefix.isEmpty()) offer(places.winePrefix);
    if (places.home.isEmpty()) return;
    offer(places.home + QStringLiteral("/.wine"));
    for (const char* collection : PrefixCollections)
        for (const QString& prefix :
             SubFolders(places.home + u'/' + QString::fromLatin1(collection)))
            offer(prefix);
}

void OfferImagesIn(const QString& folder, CandidateList& list) {
    QStringList disks = DiskFilesIn(folder);
    for (const QString& sub : SubFolders(folder)) disks += DiskFilesIn(sub);
    for (const QString& disk : disks) list.Offer(disk, DiskKindOfName(disk));
}

void OfferDiskImages(const CandidatePlaces& places, CandidateList& list) {
    if (!places.home.isEmpty())
        for (const char* folder : ImageFolders)
            OfferImagesIn(places.home + u'/' + QString::fromLatin1(folder), list);
    for (const QString& folder : places.systemImageFolders)
        if (QFileInfo(folder).isReadable()) OfferImagesIn(folder, list);
}

// A mountinfo field with its octal escapes ("\040" for a blank) undone.
QString Unescaped(const QByteArray& field) {
    QByteArray plain;
    for (qsizetype i = 0; i < field.size(); ++i) {
        if (field.at(i) == '\\' && i + 3 < field.size()) {
            bool ok = false;
            const int code = field.mid(i + 1, 3).toInt(&ok, 8);
            if (ok) {
                plain += char(code);
                i += 3;
                continue;
            }
        }
        plain += field.at(i);
    }
    return QFile::decodeName(plain);
}

void OfferMountedVolumes(const CandidatePlaces& places, CandidateList& list) {
    QFile file(places.mountInfo);
    if (!file.open(QIODevice::ReadOnly)) return;
    for (const QByteArray& line : file.readAll().split('\n')) {
        // "id parent major:minor root mount-point options [tags] - type source super-options"
        const QList<QByteArray> fields = line.split(' ');
        const qsizetype dash = fields.indexOf("-");
        if (fields.size() < 5 || dash < 0 || dash + 1 >= fields.size()) continue;
        const QByteArray type = fields.at(dash + 1);
        if (type != "vfat" && type != "msdos" && type != "fat") continue;
        const QString mountPoint = Unescaped(fields.at(4));
        list.Offer(mountPoint, QStringLiteral("FAT volume mounted at ") + mountPoint);
    }
}

}  // namespace

CandidatePlaces CandidatePlaces::Here() {
    return {QDir::homePath(),
            qEnvironmentVariable("WINEPREFIX"),
            QStringLiteral("/proc/self/mountinfo"),
            {QStringLiteral("/var/lib/libvirt/images")}};
}

std::vector<DriveCandidate> FindDriveCandidates(const CandidatePlaces& places) {
    CandidateList list;
    OfferWinePrefixes(places, list);
    OfferDiskImages(places, list);
    OfferMountedVolumes(places, list);
    return list.Take();
}

QString DiskKindOfName(const QString& fileName) {
    const QString suffix = QFileInfo(fileName).suffix().toLower();
    for (const DiskFormat& format : DiskFormats)
        if (suffix == QLatin1String(format.suffix)) return QString::fromLatin1(format.kind);
    return QString();
}

QStringList DiskFilePatterns() {
    QStringList patterns;
    for (const DiskFormat& format : DiskFormats)
        patterns.append(QStringLiteral("*.") + QLatin1String(format.suffix));
    return patterns;
}

bool HoldsWindowsFolder(const QString& path) {
    DriveMap drives;
    drives.Set(u'C', DriveSourceOf(QFile::encodeName(path).toStdString()));
    const Result<std::unique_ptr<FileSystem>> opened = OpenDrives(drives);
    if (!opened) return false;
    return FindWindowsFolder(*opened.value(), QString()).ok();
}

}  // namespace stowix
