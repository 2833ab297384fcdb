#include "hostfs/dos_attributes.h"

#include "fs/file_system.h"
#include "hostfs/host_errors.h"

#include <linux/magic.h>
#include <linux/msdos_fs.h>
#include <sys/ioctl.h>
#include <sys/statfs.h>

#include <cerrno>
#include <cstdio>
#include <vector>

namespace stowix::posix {

namespace {

constexpr int StoredBits = Attribute::Hidden | Attribute::System | Attribute::Archive;
constexpr int SettableBits = Attribute::ReadOnly | StoredBits;
constexpr mode_t WriteBits = S_IWUSR | S_IWGRP | S_IWOTH;

int HexDigit(char character) {
    if (character >= '0' && character <= '9') return character - '0';
    if (character >= 'a' && character <= 'f') return character - 'a' + 10;
    if (character >= 'A' && character <= 'F') return character - 'A' + 10;
    return -1;
}

bool Unsupported(int error) { return error == ENOTSUP || error == EOPNOTSUPP; }

Result<int> ReadFatByte(EntryRef entry, const QString& dosPath) {
    UniqueFd fd = OpenForControl(entry);
    __u32 byte = 0;
    if (!fd.Valid() || ::ioctl(fd.Get(), FAT_IOCTL_GET_ATTRIBUTES, &byte) != 0)
        return HostFailure(dosPath, errno);
    return int(byte);
}

Status WriteFatByte(EntryRef entry, const struct stat& info, int bits, const QString& dosPath) {
    UniqueFd fd = OpenForControl(entry);
    __u32 byte = __u32(bits) | (S_ISDIR(info.st_mode) ? ATTR_DIR : 0);
    if (!fd.Valid() || ::ioctl(fd.Get(), FAT_IOCTL_SET_ATTRIBUTES, &byte) != 0)
        return HostFailure(dosPath, errno);
    return Status::Ok();
}

// Sets or removes user.DOSATTRIB; -1 with errno on failure.
int StoreBits(EntryRef entry, int bits) {
    if (bits == 0) {
        const int result = RemoveExtendedAttribute(entry, DosAttributeName);
        // Nothing to remove, or nowhere it could be: both mean the bits are clear.
        return result == 0 || errno == ENODATA || Unsupported(errno) ? 0 : -1;
    }
    const std::string value = FormatDosAttributeValue(bits);
    return SetExtendedAttribute(entry, DosAttributeName, value.data(), value.size());
}

}  // namespace

bool IsReadOnlyFile(const struct stat& info) {
    return S_ISREG(info.st_mode) && (info.st_mode & WriteBits) == 0;
}

AttributeStore StoreFor(EntryRef entry, const struct stat& info, dev_t driveDevice,
                        bool driveIsFat) {
    if (info.st_dev == driveDevice)
        return driveIsFat ? AttributeStore::FatAttributeByte : AttributeStore::ExtendedAttribute;
    struct statfs fileSystem {};
    if (::statfs(DescriptorPath(entry).c_str(), &fileSystem) == 0 &&
        fileSystem.f_type == MSDOS_SUPER_MAGIC)
        return AttributeStore::FatAttributeByte;
    return AttributeStore::ExtendedAttribute;
}

int ParseDosAttributeValue(std::string_view stored) {
    // Samba ends the text at a NUL and follows it with a binary record: the text is enough.
    const size_t end = stored.find('\0');
    if (end != std::string_view::npos) stored = stored.substr(0, end);
    if (stored.size() >= 2 && stored[0] == '0' && (stored[1] == 'x' || stored[1] == 'X'))
        stored.remove_prefix(2);
    unsigned value = 0;
    for (size_t i = 0; i < stored.size() && i < 8; ++i) {
        const int digit = HexDigit(stored[i]);
        if (digit < 0) break;
        value = value * 16 + unsigned(digit);
    }
    return int(value) & StoredBits;
}

std::string FormatDosAttributeValue(int bits) {
    char text[16];
    const int length = std::snprintf(text, sizeof text, "0x%x", unsigned(bits));
    return std::string(text, size_t(length));
}

Result<int> ReadDosAttributes(EntryRef entry, const struct stat& info, AttributeStore store,
                              const QString& dosPath) {
    const int folder = S_ISDIR(info.st_mode) ? Attribute::Folder : 0;
    if (store == AttributeStore::FatAttributeByte) {
        Result<int> byte = ReadFatByte(entry, dosPath);
        if (!byte) return byte;
        return (byte.value() & SettableBits) | folder;
    }

    int value = folder | ((info.st_mode & WriteBits) == 0 ? Attribute::ReadOnly : 0);
    if (!S_ISREG(info.st_mode) && !S_ISDIR(info.st_mode)) return value;
    // Wine's value is a few bytes and Samba's record well under this size.
    char stored[256];
    ssize_t length = GetExtendedAttribute(entry, DosAttributeName, stored, sizeof stored);
    if (length >= 0)
        return value | ParseDosAttributeValue(std::string_view(stored, size_t(length)));
    if (errno == ERANGE) {
        std::vector<char> large(65536);
        length = GetExtendedAttribute(entry, DosAttributeName, large.data(), large.size());
        if (length >= 0)
            return value | ParseDosAttributeValue(std::string_view(large.data(), size_t(length)));
    }
    // No value, no support for one, or (for another user's file) no right to read it: the
    // stored bits are then clear as far as this user can know.
    if (errno == ENODATA || Unsupported(errno) || errno == EACCES || errno == EPERM) return value;
    return HostFailure(dosPath, errno);
}

Status WriteDosAttributes(EntryRef entry, const struct stat& info, int value, AttributeStore store,
                          const QString& dosPath) {
    value &= ~Attribute::Folder;
    if ((value & ~SettableBits) != 0) return RefusalFailure(dosPath, Refusal::UnknownAttributes);
    if (store == AttributeStore::FatAttributeByte) return WriteFatByte(entry, info, value, dosPath);

    const mode_t permissions = info.st_mode & 07777;
    const bool readOnly = (value & Attribute::ReadOnly) != 0;
    // The stored bits go first, so that a file system that cannot keep them leaves the file as
    // it was.
    if (StoreBits(entry, value & StoredBits) != 0) {
        const int error = errno;
        if (Unsupported(error)) {
            // A FAT file system mounted below the drive's folder still has its attribute byte.
            if (WriteFatByte(entry, info, value, dosPath)) return Status::Ok();
            return RefusalFailure(dosPath, Refusal::AttributesNotStored);
        }
        // Another user's read-only file: the owner may write attributes only with write
        // permission, so give it for the moment.
        const bool retry = (error == EACCES || error == EPERM) && (permissions & WriteBits) == 0 &&
                           ChangeMode(entry, permissions | S_IWUSR) == 0;
        if (!retry || StoreBits(entry, value & StoredBits) != 0) {
            const int retryError = retry ? errno : error;
            if (retry) (void)ChangeMode(entry, permissions);
            return HostFailure(dosPath, retryError);
        }
        if (readOnly && ChangeMode(entry, permissions) != 0) return HostFailure(dosPath, errno);
        return Status::Ok();
    }

    mode_t wanted = permissions;
    if (readOnly)
        wanted &= ~WriteBits;
    else if ((permissions & WriteBits) == 0)
        wanted |= S_IWUSR;
    if (wanted != permissions && ChangeMode(entry, wanted) != 0) return HostFailure(dosPath, errno);
    return Status::Ok();
}

}  // namespace stowix::posix
