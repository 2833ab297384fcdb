#pragma once
// The DOS attribute value of one host entry, stored as the program's platform maps it:
//   read-only (1)             no write permission bit at all; setting it clears every write bit,
//                             clearing it gives the owner write;
//   hidden, system, archive   the extended attribute user.DOSATTRIB, written as Wine writes it:
//   (2, 4, 32)                "0x" and the value in lower-case hex, no NUL ("0x26"), and removed
//                             when all three are clear. Samba's form (hex text, a NUL, then a
//                             binary record) is read by its hex text;
//   folder (16)               the entry's type, never stored.
// On a kernel FAT mount the attribute byte itself is read and written instead. Where neither can
// be stored, a write that asks for hidden, system or archive fails with a clear reason.
// It does not find entries: callers hand in an EntryRef and the entry's own stat.

#include "hostfs/host_calls.h"
#include "services/result.h"

#include <sys/stat.h>

#include <string>
#include <string_view>

namespace stowix::posix {

constexpr const char* DosAttributeName = "user.DOSATTRIB";

// The hidden, system and archive bits that a user.DOSATTRIB value holds, in either form; 0 for
// a value that is neither.
int ParseDosAttributeValue(std::string_view stored);
// The value to store for these bits: "0x26".
std::string FormatDosAttributeValue(int bits);

// Where an entry's hidden, system and archive bits live.
enum class AttributeStore { ExtendedAttribute, FatAttributeByte };

// True for a regular file without any write bit: read-only, which Windows will not delete or
// overwrite.
bool IsReadOnlyFile(const struct stat& info);

// The store for an entry: the drive's own kind (driveDevice, driveIsFat) unless the entry lies on
// another file system mounted inside the drive.
AttributeStore StoreFor(EntryRef entry, const struct stat& info, dev_t driveDevice,
                        bool driveIsFat);

// info: the entry's own stat (a link already followed). dosPath names it in a failure.
Result<int> ReadDosAttributes(EntryRef entry, const struct stat& info, AttributeStore store,
                              const QString& dosPath);
// Gives the entry exactly this value; the folder bit is ignored. Bits that are no DOS attribute
// are refused rather than dropped.
Status WriteDosAttributes(EntryRef entry, const struct stat& info, int value, AttributeStore store,
                          const QString& dosPath);

}  // namespace stowix::posix
