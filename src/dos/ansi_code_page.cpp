#include "dos/ansi_code_page.h"

#include <algorithm>
#include <array>
#include <optional>

namespace stowix {

namespace {

// The characters of bytes 0x80-0x9F, where Windows-1252 differs from Latin-1. Windows maps the
// five bytes it leaves undefined to and from the control characters of the same value.
constexpr std::array<char16_t, 32> HighControls{
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

std::optional<char> ByteFor(char16_t unit) {
    if (unit < 0x80 || (unit >= 0xA0 && unit <= 0xFF)) return char(unit);
    const auto found = std::find(HighControls.begin(), HighControls.end(), unit);
    if (found == HighControls.end()) return std::nullopt;
    return char(0x80 + (found - HighControls.begin()));
}

}  // namespace

QByteArray ToWindows1252(QStringView text) {
    QByteArray bytes;
    bytes.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t unit = text[i].unicode();
        if (QChar::isHighSurrogate(unit) && i + 1 < text.size() && text[i + 1].isLowSurrogate())
            ++i;  // one character outside the code page: one "?"
        bytes.append(ByteFor(unit).value_or('?'));
    }
    return bytes;
}

QChar CharacterFromWindows1252(unsigned char byte) {
    if (byte >= 0x80 && byte <= 0x9F) return QChar(HighControls[byte - 0x80]);
    return QChar(char16_t(byte));
}

bool FitsWindows1252(QStringView text) {
    return std::all_of(text.begin(), text.end(),
                       [](QChar c) { return ByteFor(c.unicode()).has_value(); });
}

}  // namespace stowix
