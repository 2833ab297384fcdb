#include "platform/posix/drive_map.h"

#include <sys/stat.h>

#include <cstdlib>

namespace stowix {

namespace {

std::optional<char16_t> DriveKey(QChar letter)
{
    const char16_t upper = letter.toUpper().unicode();
    if (upper < u'A' || upper > u'Z')
        return std::nullopt;
    return upper;
}

std::optional<std::string> NonEmpty(const DriveMap::EnvironmentLookup& lookup,
                                    const std::string& name)
{
    std::optional<std::string> value = lookup(name);
    if (value && value->empty())
        return std::nullopt;
    return value;
}

bool IsFolder(const std::string& hostPath)
{
    struct stat info {};
    return ::stat(hostPath.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

}  // namespace

DriveMap::DriveMap(const std::map<QChar, std::string>& folders)
{
    for (const auto& [letter, folder] : folders)
        Set(letter, folder);
}

DriveMap DriveMap::FromEnvironment()
{
    return FromEnvironment([](const std::string& name) -> std::optional<std::string> {
        const char* value = std::getenv(name.c_str());
        if (value == nullptr)
            return std::nullopt;
        return std::string(value);
    });
}

DriveMap DriveMap::FromEnvironment(const EnvironmentLookup& lookup)
{
    DriveMap drives;
    for (char letter = 'C'; letter <= 'Z'; ++letter) {
        if (std::optional<std::string> folder =
                NonEmpty(lookup, std::string("STOWIX_DRIVE_") + letter))
            drives.Set(QChar(letter), *folder);
    }
    if (drives.Has(u'C'))
        return drives;
    if (std::optional<std::string> prefix = NonEmpty(lookup, "WINEPREFIX")) {
        drives.Set(u'C', *prefix + "/drive_c");
        return drives;
    }
    if (std::optional<std::string> home = NonEmpty(lookup, "HOME")) {
        const std::string wineDrive = *home + "/.wine/drive_c";
        if (IsFolder(wineDrive))
            drives.Set(u'C', wineDrive);
    }
    return drives;
}

void DriveMap::Set(QChar letter, std::string hostFolder)
{
    if (std::optional<char16_t> key = DriveKey(letter))
        m_folders[*key] = std::move(hostFolder);
}

std::optional<std::string> DriveMap::Folder(QChar letter) const
{
    const std::optional<char16_t> key = DriveKey(letter);
    if (!key)
        return std::nullopt;
    const auto found = m_folders.find(*key);
    if (found == m_folders.end())
        return std::nullopt;
    return found->second;
}

QString DriveMap::HowToConfigure()
{
    return QStringLiteral(
        "No drive C: is configured. Set STOWIX_DRIVE_C to the folder that holds the Windows "
        "drive (a mounted partition or disk image, for example), or WINEPREFIX to a Wine "
        "prefix; ~/.wine/drive_c is used when it exists.");
}

}  // namespace stowix
