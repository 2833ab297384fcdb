#pragma once
// Names on a FAT volume: the 11-byte short name in the OEM code page, the long name in UTF-16
// spread over LFN slots, and the short alias Windows 98 makes for a long name. Pure byte and
// text work: nothing here reads or writes the volume.
//
// Alias rules, as Windows 98 applies them: the long name is upper-cased, blanks and leading dots
// dropped, characters a short name cannot hold become "_", the base is cut to 8 characters and
// the extension (after the last dot) to 3. A numeric tail "~1", "~2", ... is added when that lost
// anything, or always when the caller's exact short name is taken; the first free tail wins.

#include "services/result.h"

#include <QString>

#include <array>
#include <cstdint>
#include <functional>

namespace stowix::fat {

using ShortName = std::array<unsigned char, 11>;

// One OEM code page: bytes 0x80-0xFF and the characters they stand for.
class OemCodePage {
public:
    // 437, the US code page, unless STOWIX_FAT_CODE_PAGE names another (850, 852, ...).
    static Result<OemCodePage> FromEnvironment();
    static OemCodePage Us437();
    // Any code page the system's converters know, by number.
    static Result<OemCodePage> ByNumber(int number);

    QChar Decode(unsigned char byte) const;
    // The byte for a character, or 0 when the code page has none.
    unsigned char Encode(QChar character) const;

private:
    std::array<char16_t, 128> m_high{};
};

// The checksum of a short name that each of its LFN slots carries.
uint8_t ShortNameChecksum(const ShortName& name);

// The short name as Windows shows it ("README.TXT"); lowerBase and lowerExtension apply the case
// flags that Windows NT and Linux set for all-lower-case names.
QString ShortNameText(const ShortName& name, const OemCodePage& codePage, bool lowerBase,
                      bool lowerExtension);

// The short name of a long name that is itself a valid short name in upper case ("WIN.INI"),
// which needs no LFN slots; nothing otherwise.
std::optional<ShortName> ExactShortName(QStringView name, const OemCodePage& codePage);

// The alias for a long name that needs LFN slots. taken(name) says whether a short name is in
// use in the folder. Fails only when every tail up to ~999999 is taken.
Result<ShortName> MakeAlias(QStringView longName, const OemCodePage& codePage,
                            const std::function<bool(const ShortName&)>& taken);

// Why FAT cannot hold this name (beyond Windows' own rules), or an empty text.
QString FatNameRefusal(QStringView name);

// The LFN slots of a long name, last slot first, as they lie on disk before the short entry.
std::vector<std::array<unsigned char, 32>> LongNameSlots(QStringView name, uint8_t checksum);

}  // namespace stowix::fat
