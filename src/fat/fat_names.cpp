#include "fat/fat_names.h"

#include "dos/name_rules.h"
#include "fat/directory_entry.h"

#include <QStringDecoder>

#include <cstdlib>
#include <cstring>

namespace stowix::fat {

namespace {

// Code page 437: the characters of bytes 0x80-0xFF.
constexpr char16_t Us437High[128] = {
    0x00C7, 0x00FC, 0x00E9, 0x00E2, 0x00E4, 0x00E0, 0x00E5, 0x00E7, 0x00EA, 0x00EB, 0x00E8, 0x00EF,
    0x00EE, 0x00EC, 0x00C4, 0x00C5, 0x00C9, 0x00E6, 0x00C6, 0x00F4, 0x00F6, 0x00F2, 0x00FB, 0x00F9,
    0x00FF, 0x00D6, 0x00DC, 0x00A2, 0x00A3, 0x00A5, 0x20A7, 0x0192, 0x00E1, 0x00ED, 0x00F3, 0x00FA,
    0x00F1, 0x00D1, 0x00AA, 0x00BA, 0x00BF, 0x2310, 0x00AC, 0x00BD, 0x00BC, 0x00A1, 0x00AB, 0x00BB,
    0x2591, 0x2592, 0x2593, 0x2502, 0x2524, 0x2561, 0x2562, 0x2556, 0x2555, 0x2563, 0x2551, 0x2557,
    0x255D, 0x255C, 0x255B, 0x2510, 0x2514, 0x2534, 0x252C, 0x251C, 0x2500, 0x253C, 0x255E, 0x255F,
    0x255A, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550, 0x256C, 0x2567, 0x2568, 0x2564, 0x2565, 0x2559,
    0x2558, 0x2552, 0x2553, 0x256B, 0x256A, 0x2518, 0x250C, 0x2588, 0x2584, 0x258C, 0x2590, 0x2580,
    0x03B1, 0x00DF, 0x0393, 0x03C0, 0x03A3, 0x03C3, 0x00B5, 0x03C4, 0x03A6, 0x0398, 0x03A9, 0x03B4,
    0x221E, 0x03C6, 0x03B5, 0x2229, 0x2261, 0x00B1, 0x2265, 0x2264, 0x2320, 0x2321, 0x00F7, 0x2248,
    0x00B0, 0x2219, 0x00B7, 0x221A, 0x207F, 0x00B2, 0x25A0, 0x00A0,
};

bool IsShortNameSymbol(char16_t unit) {
    return std::strchr("!#$%&'()-@^_`{}~", char(unit)) != nullptr && unit != 0;
}

// Characters a long name may hold but a short one may not; the alias takes "_" for them.
bool IsLongOnly(char16_t unit) { return unit < 0x80 && std::strchr("+,;=[]", char(unit)) && unit; }

// The short-name byte for one upper-cased character, or 0 when there is none.
unsigned char ShortByte(QChar character, const OemCodePage& codePage) {
    const char16_t unit = character.unicode();
    if ((unit >= u'A' && unit <= u'Z') || (unit >= u'0' && unit <= u'9'))
        return (unsigned char)(unit);
    if (unit < 0x80) return IsShortNameSymbol(unit) ? (unsigned char)(unit) : 0;
    return codePage.Encode(character);
}

}  // namespace

OemCodePage OemCodePage::Us437() {
    OemCodePage page;
    std::memcpy(page.m_high.data(), Us437High, sizeof Us437High);
    return page;
}

Result<OemCodePage> OemCodePage::ByNumber(int number) {
    if (number == 437) return Us437();
    QStringDecoder decoder(QStringLiteral("IBM%1").arg(number).toLatin1().constData());
    if (!decoder.isValid())
        decoder = QStringDecoder(QStringLiteral("cp%1").arg(number).toLatin1().constData());
    if (!decoder.isValid())
        return Status::Fail(
            QStringLiteral("The OEM code page %1 is not known on this system").arg(number));
    OemCodePage page;
    for (int byte = 0x80; byte <= 0xFF; ++byte) {
        const char raw = char(byte);
        const QString text = decoder(QByteArrayView(&raw, 1));
        page.m_high[size_t(byte - 0x80)] = text.size() == 1 ? text[0].unicode() : u'\uFFFD';
    }
    return page;
}

Result<OemCodePage> OemCodePage::FromEnvironment() {
    const char* text = std::getenv("STOWIX_FAT_CODE_PAGE");
    if (text == nullptr || *text == '\0') return Us437();
    char* end = nullptr;
    const long number = std::strtol(text, &end, 10);
    if (*end != '\0' || number <= 0 || number > 65535)
        return Status::Fail(
            QStringLiteral("STOWIX_FAT_CODE_PAGE must be a code page number, "
                           "such as 437 or 850"));
    return ByNumber(int(number));
}

QChar OemCodePage::Decode(unsigned char byte) const {
    return byte < 0x80 ? QChar(char16_t(byte)) : QChar(m_high[byte - 0x80]);
}

unsigned char OemCodePage::Encode(QChar character) const {
    const char16_t unit = character.unicode();
    if (unit < 0x80) return (unsigned char)(unit);
    for (size_t i = 0; i < m_high.size(); ++i) {
        if (m_high[i] == unit) return (unsigned char)(0x80 + i);
    }
    return 0;
}

uint8_t ShortNameChecksum(const ShortName& name) {
    uint8_t sum = 0;
    for (unsigned char byte : name) sum = uint8_t(((sum & 1) ? 0x80 : 0) + (sum >> 1) + byte);
    return sum;
}

QString ShortNameText(const ShortName& name, const OemCodePage& codePage, bool lowerBase,
                      bool lowerExtension) {
    QString base, extension;
    for (int i = 0; i < 8; ++i) {
        unsigned char byte = name[size_t(i)];
        if (i == 0 && byte == 0x05)
            byte = 0xE5;  // a real 0xE5 is stored so, as 0xE5 marks a deleted entry
        base += codePage.Decode(byte);
    }
    for (int i = 8; i < 11; ++i) extension += codePage.Decode(name[size_t(i)]);
    while (base.endsWith(u' ')) base.chop(1);
    while (extension.endsWith(u' ')) extension.chop(1);
    if (lowerBase) base = base.toLower();
    if (lowerExtension) extension = extension.toLower();
    return extension.isEmpty() ? base : base + u'.' + extension;
}

std::optional<ShortName> ExactShortName(QStringView name, const OemCodePage& codePage) {
    if (name.isEmpty() || IsDotOrDotDot(name)) return std::nullopt;
    const qsizetype dot = name.indexOf(u'.');
    const QStringView base = dot < 0 ? name : name.left(dot);
    const QStringView extension = dot < 0 ? QStringView() : name.mid(dot + 1);
    if (base.isEmpty() || base.size() > 8 || extension.size() > 3 ||
        (dot >= 0 && extension.isEmpty()) || extension.contains(u'.'))
        return std::nullopt;
    ShortName shortName;
    shortName.fill(' ');
    const auto put = [&](QStringView part, size_t at) {
        for (QChar character : part) {
            if (character.toUpper() != character) return false;
            const unsigned char byte = ShortByte(character, codePage);
            if (byte == 0) return false;
            shortName[at++] = byte;
        }
        return true;
    };
    if (!put(base, 0) || !put(extension, 8)) return std::nullopt;
    if (shortName[0] == 0xE5) shortName[0] = 0x05;
    return shortName;
}

namespace {

// A long name made ready for its alias: the base and extension as short-name bytes, and whether
// anything of the name was lost on the way (which calls for a numeric tail).
struct AliasParts {
    std::vector<unsigned char> base;       // 8 bytes at most
    std::vector<unsigned char> extension;  // 3 bytes at most
    bool lossy = false;
};

// Upper case, blanks and leading dots dropped, the extension after the last dot.
AliasParts AliasPartsOf(QStringView longName, const OemCodePage& codePage) {
    AliasParts parts;
    QString upper = longName.toString().toUpper();
    if (upper.contains(u' ')) {
        upper.remove(u' ');
        parts.lossy = true;
    }
    qsizetype leading = 0;
    while (leading < upper.size() && upper[leading] == u'.') ++leading;
    if (leading > 0) {
        upper = upper.mid(leading);
        parts.lossy = true;
    }
    const qsizetype lastDot = upper.lastIndexOf(u'.');
    QString baseText = lastDot < 0 ? upper : upper.left(lastDot);
    const QString extensionText = lastDot < 0 ? QString() : upper.mid(lastDot + 1);
    if (baseText.contains(u'.')) {
        baseText.remove(u'.');
        parts.lossy = true;
    }
    const auto convert = [&](const QString& part, size_t limit) {
        std::vector<unsigned char> bytes;
        for (QChar character : part) {
            unsigned char byte =
                IsLongOnly(character.unicode()) ? 0 : ShortByte(character, codePage);
            if (byte == 0) {
                byte = '_';
                parts.lossy = true;
            }
            if (bytes.size() == limit) {
                parts.lossy = true;
                break;
            }
            bytes.push_back(byte);
        }
        return bytes;
    };
    parts.base = convert(baseText, 8);
    parts.extension = convert(extensionText, 3);
    if (parts.base.empty()) {
        parts.base.push_back('_');
        parts.lossy = true;
    }
    return parts;
}

// The alias of parts with a numeric tail ("~1"; empty for none), the base cut to make room.
ShortName ComposeAlias(const AliasParts& parts, const std::string& tail) {
    ShortName candidate;
    candidate.fill(' ');
    const size_t keep = std::min(parts.base.size(), 8 - tail.size());
    for (size_t i = 0; i < keep; ++i) candidate[i] = parts.base[i];
    for (size_t i = 0; i < tail.size(); ++i) candidate[keep + i] = (unsigned char)(tail[i]);
    for (size_t i = 0; i < parts.extension.size(); ++i) candidate[8 + i] = parts.extension[i];
    if (candidate[0] == 0xE5) candidate[0] = 0x05;
    return candidate;
}

}  // namespace

Result<ShortName> MakeAlias(QStringView longName, const OemCodePage& codePage,
                            const std::function<bool(const ShortName&)>& taken) {
    const AliasParts parts = AliasPartsOf(longName, codePage);
    if (!parts.lossy) {
        const ShortName candidate = ComposeAlias(parts, std::string());
        if (!taken(candidate)) return candidate;
    }
    for (int number = 1; number <= 999999; ++number) {
        const ShortName candidate = ComposeAlias(parts, "~" + std::to_string(number));
        if (!taken(candidate)) return candidate;
    }
    return Status::Fail(QStringLiteral("The folder holds too many names like this one"));
}

QString FatNameRefusal(QStringView name) {
    if (name.size() > 255)
        return QStringLiteral(
            "The name is longer than the 255 characters a FAT file system "
            "can hold");
    if (name.endsWith(u'.') || name.endsWith(u' '))
        return QStringLiteral(
            "The name ends in a dot or a blank, which a FAT file system "
            "cannot hold");
    return QString();
}

std::vector<std::array<unsigned char, 32>> LongNameSlots(QStringView name, uint8_t checksum) {
    constexpr qsizetype PerSlot = LongNameSlot::Units;
    const qsizetype count = (name.size() + PerSlot - 1) / PerSlot;
    std::vector<char16_t> units(size_t(count * PerSlot), char16_t(0xFFFF));
    for (qsizetype i = 0; i < name.size(); ++i) units[size_t(i)] = name[i].unicode();
    if (name.size() < count * PerSlot) units[size_t(name.size())] = 0;
    std::vector<std::array<unsigned char, SlotBytes>> slots;
    for (qsizetype order = count; order >= 1; --order) {
        LongNameSlot slot{};
        slot.order = uint8_t(order | (order == count ? LongNameSlot::LastPart : 0));
        slot.attributes = EntryAttribute::LongName;
        slot.checksum = checksum;
        slot.SetUnits(units.data() + (order - 1) * PerSlot);
        slots.push_back(std::bit_cast<std::array<unsigned char, SlotBytes>>(slot));
    }
    return slots;
}

}  // namespace stowix::fat
