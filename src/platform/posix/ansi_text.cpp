#include "platform/posix/ansi_text.h"

namespace stowix::posix {

namespace {

// The characters of bytes 0x80-0x9F; 0 where Windows-1252 leaves the byte undefined. Windows maps
// those five undefined bytes to and from the control characters of the same value.
constexpr char16_t HighControls[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

char ByteFor(char16_t unit)
{
    if (unit < 0x80 || (unit >= 0xA0 && unit <= 0xFF))
        return char(unit);
    for (int i = 0; i < 32; ++i) {
        if (HighControls[i] == unit)
            return char(0x80 + i);
    }
    return '?';
}

}  // namespace

QByteArray ToWindows1252(QStringView text)
{
    QByteArray bytes;
    bytes.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t unit = text[i].unicode();
        if (QChar::isHighSurrogate(unit) && i + 1 < text.size() && text[i + 1].isLowSurrogate())
            ++i;  // one character outside the code page: one "?"
        bytes.append(ByteFor(unit));
    }
    return bytes;
}

}  // namespace stowix::posix
