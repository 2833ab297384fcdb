#include "platform/dos/batch_file.h"

#include <array>

namespace stowix {

namespace {

// Bytes 0x80 to 0x9F, where Windows-1252 differs from Latin-1.
constexpr std::array<char16_t, 32> HighControlRange{
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

constexpr char EndOfFileMark = 0x1A;

}  // namespace

QChar CharacterFromAnsi(unsigned char byte) {
    if (byte >= 0x80 && byte <= 0x9F) return QChar(HighControlRange[byte - 0x80]);
    return QChar(char16_t(byte));
}

QStringList BatchLinesFromAnsi(const QByteArray& content) {
    QByteArray bytes = content;
    if (const qsizetype mark = bytes.indexOf(EndOfFileMark); mark >= 0) bytes.truncate(mark);

    QStringList lines;
    QString line;
    for (const char byte : bytes) {
        if (byte == '\n') {
            if (line.endsWith(u'\r')) line.chop(1);
            lines.append(line);
            line.clear();
            continue;
        }
        line.append(CharacterFromAnsi(static_cast<unsigned char>(byte)));
    }
    if (line.endsWith(u'\r')) line.chop(1);
    if (!line.isEmpty()) lines.append(line);
    return lines;
}

}  // namespace stowix
