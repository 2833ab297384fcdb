#include "files/escaped_text.h"

namespace stowix {

namespace {

// The range the file systems give the bytes of a host name that are not UTF-8 (0xDC00 + byte).
constexpr char16_t EscapedByteFirst = 0xDC80;
constexpr char16_t EscapedByteLast = 0xDCFF;

bool IsControl(char16_t unit) { return unit < 0x20 || (unit >= 0x7F && unit <= 0x9F); }

// Marks that change the direction of the text around them, or are not seen at all.
bool IsInvisibleMark(char16_t unit) {
    return unit == 0x061C || unit == 0x180E || (unit >= 0x200B && unit <= 0x200F) ||
           (unit >= 0x2028 && unit <= 0x202E) || (unit >= 0x2060 && unit <= 0x206F) ||
           unit == 0xFEFF;
}

QString Hex(unsigned value, int digits) {
    return QString::number(value, 16).toUpper().rightJustified(digits, QLatin1Char('0'));
}

}  // namespace

QString EscapedText(QStringView text, QStringView alsoEscaped) {
    QString shown;
    shown.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t unit = text[i].unicode();
        if (unit >= EscapedByteFirst && unit <= EscapedByteLast) {
            shown += QStringLiteral("\\x") + Hex(unit - 0xDC00, 2);
        } else if (IsControl(unit) || alsoEscaped.contains(QChar(unit))) {
            shown += QStringLiteral("\\x") + Hex(unit, 2);
        } else if (QChar::isHighSurrogate(unit) && i + 1 < text.size() &&
                   text[i + 1].isLowSurrogate()) {
            shown += text[i];
            shown += text[++i];
        } else if (IsInvisibleMark(unit) || QChar::isSurrogate(unit)) {
            shown += QStringLiteral("\\u") + Hex(unit, 4);
        } else {
            shown += text[i];
        }
    }
    return shown;
}

}  // namespace stowix
