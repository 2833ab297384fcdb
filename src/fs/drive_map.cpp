#include "fs/drive_map.h"

#include <sys/stat.h>

#include <charconv>
#include <cstdlib>

namespace stowix {

namespace {

std::optional<char16_t> DriveKey(QChar letter) {
    const char16_t upper = letter.toUpper().unicode();
    if (upper < u'A' || upper > u'Z') return std::nullopt;
    return upper;
}

std::optional<std::string> NonEmpty(const DriveMap::EnvironmentLookup& lookup,
                                    const std::string& name) {
    std::optional<std::string> value = lookup(name);
    if (value && value->empty()) return std::nullopt;
    return value;
}

bool IsFolder(const std::string& hostPath) {
    struct stat info {};
    return ::stat(hostPath.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool IsFile(const std::string& hostPath) {
    struct stat info {};
    return ::stat(hostPath.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

// A folder named as a drive that is a Wine prefix itself stands for its drive_c.
std::string DriveFolderOf(const std::string& hostPath) {
    return IsWinePrefix(hostPath) ? hostPath + "/drive_c" : hostPath;
}

// A regular file or a block device holds a disk; anything else is taken for a folder, which
// opening then checks.
DriveKind KindOf(const std::string& hostPath) {
    struct stat info {};
    if (::stat(hostPath.c_str(), &info) == 0 && (S_ISREG(info.st_mode) || S_ISBLK(info.st_mode)))
        return DriveKind::Image;
    return DriveKind::Folder;
}

// 1 or more; 0 for any text that is not such a whole number.
int PartitionNumber(const std::string& text) {
    int number = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
    if (error != std::errc() || end != text.data() + text.size() || number < 1) return 0;
    return number;
}

}  // namespace

DriveSource DriveSourceOf(const std::string& hostPath) {
    return DriveSource{KindOf(hostPath), DriveFolderOf(hostPath), std::nullopt};
}

bool IsWinePrefix(const std::string& hostPath) {
    return IsFolder(hostPath + "/drive_c") && IsFile(hostPath + "/system.reg");
}

std::optional<std::string> WinePrefixOf(const DriveSource& source) {
    if (source.kind != DriveKind::Folder) return std::nullopt;
    std::string folder = source.hostPath;
    while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
    const std::size_t slash = folder.rfind('/');
    if (slash == std::string::npos || folder.substr(slash + 1) != "drive_c") return std::nullopt;
    const std::string prefix = slash == 0 ? std::string("/") : folder.substr(0, slash);
    if (!IsWinePrefix(prefix)) return std::nullopt;
    return prefix;
}

QString WinePrefixOfDriveC(const DriveMap& drives) {
    const std::optional<DriveSource> driveC = drives.Source(u'C');
    if (!driveC) return QString();
    const std::optional<std::string> prefix = WinePrefixOf(*driveC);
    return prefix ? QString::fromLocal8Bit(*prefix) : QString();
}

DriveMap::DriveMap(const std::map<QChar, std::string>& folders) {
    for (const auto& [letter, folder] : folders) Set(letter, folder);
}

DriveMap DriveMap::FromEnvironment() {
    return FromEnvironment(
        [](const std::string& name) -> std::optional<std::string> {
            const char* value = std::getenv(name.c_str());
            if (value == nullptr) return std::nullopt;
            return std::string(value);
        },
        ChosenDrive());
}

DriveMap DriveMap::FromEnvironment(const EnvironmentLookup& lookup,
                                   const std::optional<std::string>& chosen) {
    DriveMap drives;
    for (char letter = 'C'; letter <= 'Z'; ++letter) {
        const std::string variable = std::string("STOWIX_DRIVE_") + letter;
        std::optional<std::string> path = NonEmpty(lookup, variable);
        if (!path) continue;
        DriveSource source{KindOf(*path), DriveFolderOf(*path), std::nullopt};
        if (std::optional<std::string> partition = NonEmpty(lookup, variable + "_PARTITION"))
            source.partition = PartitionNumber(*partition);
        drives.Set(QChar(letter), std::move(source));
    }
    if (drives.Has(u'C')) return drives;
    if (std::optional<std::string> prefix = NonEmpty(lookup, "WINEPREFIX")) {
        drives.Set(u'C', *prefix + "/drive_c");
        return drives;
    }
    if (chosen && !chosen->empty()) {
        drives.Set(u'C', DriveSource{KindOf(*chosen), DriveFolderOf(*chosen), std::nullopt});
        return drives;
    }
    if (std::optional<std::string> home = NonEmpty(lookup, "HOME")) {
        const std::string wineDrive = *home + "/.wine/drive_c";
        if (IsFolder(wineDrive)) drives.Set(u'C', wineDrive);
    }
    return drives;
}

void DriveMap::Set(QChar letter, std::string hostFolder) {
    Set(letter, DriveSource{DriveKind::Folder, std::move(hostFolder), std::nullopt});
}

void DriveMap::Set(QChar letter, DriveSource source) {
    if (std::optional<char16_t> key = DriveKey(letter)) m_drives[*key] = std::move(source);
}

std::optional<DriveSource> DriveMap::Source(QChar letter) const {
    const std::optional<char16_t> key = DriveKey(letter);
    if (!key) return std::nullopt;
    const auto found = m_drives.find(*key);
    if (found == m_drives.end()) return std::nullopt;
    return found->second;
}

std::optional<std::string> DriveMap::Folder(QChar letter) const {
    const std::optional<DriveSource> source = Source(letter);
    if (!source || source->kind != DriveKind::Folder) return std::nullopt;
    return source->hostPath;
}

QString DriveMap::HowToConfigure() {
    return QStringLiteral(
        "No drive C: is configured. Name the Windows drive on the command line (--drive PATH, "
        "or stowix PATH), or set STOWIX_DRIVE_C to the folder that holds the Windows "
        "drive (a mounted partition or disk image, for example), or WINEPREFIX to a Wine "
        "prefix; ~/.wine/drive_c is used when it exists. A drive may also be a disk image "
        "file with a FAT file system (an emulator's or virtual machine's disk, a bare FAT "
        "volume or a fixed-size VHD), used as it is, without mounting it.");
}

}  // namespace stowix
