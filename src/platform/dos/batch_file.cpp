#include "platform/dos/batch_file.h"

#include "platform/ansi_code_page.h"

namespace stowix {

namespace {

constexpr char EndOfFileMark = 0x1A;

}  // namespace

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
        line.append(CharacterFromWindows1252(static_cast<unsigned char>(byte)));
    }
    if (line.endsWith(u'\r')) line.chop(1);
    if (!line.isEmpty()) lines.append(line);
    return lines;
}

}  // namespace stowix
