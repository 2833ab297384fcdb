#include "hostfs/host_names.h"

#include "dos/name_case.h"

namespace stowix::posix {

namespace {

constexpr char16_t EscapeBase = 0xDC00;  // an undecodable byte b becomes EscapeBase + b

bool IsContinuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }

// The length of the valid UTF-8 sequence at bytes[at], or 0 when the byte there starts none.
// Strict: no overlong forms, no encoded surrogates, nothing above U+10FFFF.
int ValidSequenceLength(std::string_view bytes, size_t at, char32_t& codePoint) {
    const auto byte = [&](size_t i) { return static_cast<unsigned char>(bytes[i]); };
    const unsigned char lead = byte(at);
    const size_t left = bytes.size() - at;
    if (lead >= 0xC2 && lead <= 0xDF) {
        if (left < 2 || !IsContinuation(byte(at + 1))) return 0;
        codePoint = (char32_t(lead & 0x1F) << 6) | (byte(at + 1) & 0x3F);
        return 2;
    }
    if (lead >= 0xE0 && lead <= 0xEF) {
        if (left < 3) return 0;
        const unsigned char second = byte(at + 1);
        const unsigned char low = lead == 0xE0 ? 0xA0 : 0x80;
        const unsigned char high = lead == 0xED ? 0x9F : 0xBF;
        if (second < low || second > high || !IsContinuation(byte(at + 2))) return 0;
        codePoint =
            (char32_t(lead & 0x0F) << 12) | (char32_t(second & 0x3F) << 6) | (byte(at + 2) & 0x3F);
        return 3;
    }
    if (lead >= 0xF0 && lead <= 0xF4) {
        if (left < 4) return 0;
        const unsigned char second = byte(at + 1);
        const unsigned char low = lead == 0xF0 ? 0x90 : 0x80;
        const unsigned char high = lead == 0xF4 ? 0x8F : 0xBF;
        if (second < low || second > high || !IsContinuation(byte(at + 2)) ||
            !IsContinuation(byte(at + 3)))
            return 0;
        codePoint = (char32_t(lead & 0x07) << 18) | (char32_t(second & 0x3F) << 12) |
                    (char32_t(byte(at + 2) & 0x3F) << 6) | (byte(at + 3) & 0x3F);
        return 4;
    }
    return 0;
}

void AppendUtf8(std::string& out, char32_t codePoint) {
    if (codePoint < 0x80) {
        out += char(codePoint);
    } else if (codePoint < 0x800) {
        out += char(0xC0 | (codePoint >> 6));
        out += char(0x80 | (codePoint & 0x3F));
    } else if (codePoint < 0x10000) {
        out += char(0xE0 | (codePoint >> 12));
        out += char(0x80 | ((codePoint >> 6) & 0x3F));
        out += char(0x80 | (codePoint & 0x3F));
    } else {
        out += char(0xF0 | (codePoint >> 18));
        out += char(0x80 | ((codePoint >> 12) & 0x3F));
        out += char(0x80 | ((codePoint >> 6) & 0x3F));
        out += char(0x80 | (codePoint & 0x3F));
    }
}

}  // namespace

bool IsAscii(std::string_view bytes) {
    for (char byte : bytes) {
        if (static_cast<unsigned char>(byte) >= 0x80) return false;
    }
    return true;
}

QString NameFromHost(std::string_view bytes) {
    size_t firstHigh = 0;
    while (firstHigh < bytes.size() && static_cast<unsigned char>(bytes[firstHigh]) < 0x80)
        ++firstHigh;
    // Nearly every name on a Windows drive is ASCII: no decoding work for those.
    if (firstHigh == bytes.size())
        return QString::fromLatin1(bytes.data(), qsizetype(bytes.size()));

    QString name;
    name.reserve(qsizetype(bytes.size()));
    name.append(QLatin1StringView(bytes.data(), qsizetype(firstHigh)));
    for (size_t at = firstHigh; at < bytes.size();) {
        const unsigned char byte = static_cast<unsigned char>(bytes[at]);
        if (byte < 0x80) {
            name.append(QChar(byte));
            ++at;
            continue;
        }
        char32_t codePoint = 0;
        const int length = ValidSequenceLength(bytes, at, codePoint);
        if (length == 0) {
            name.append(QChar(char16_t(EscapeBase + byte)));
            ++at;
            continue;
        }
        if (codePoint >= 0x10000) {
            name.append(QChar(QChar::highSurrogate(codePoint)));
            name.append(QChar(QChar::lowSurrogate(codePoint)));
        } else {
            name.append(QChar(char16_t(codePoint)));
        }
        at += size_t(length);
    }
    return name;
}

std::string NameToHost(QStringView name) {
    std::string bytes;
    bytes.reserve(size_t(name.size()));
    for (qsizetype i = 0; i < name.size(); ++i) {
        const char16_t unit = name[i].unicode();
        if (unit < 0x80) {
            bytes += char(unit);
        } else if (QChar::isHighSurrogate(unit) && i + 1 < name.size() &&
                   name[i + 1].isLowSurrogate()) {
            AppendUtf8(bytes, QChar::surrogateToUcs4(unit, name[i + 1].unicode()));
            ++i;
        } else if (unit >= EscapeBase + 0x80 && unit <= EscapeBase + 0xFF) {
            bytes += char(unit - EscapeBase);
        } else if (QChar::isSurrogate(unit)) {
            AppendUtf8(bytes, 0xFFFD);
        } else {
            AppendUtf8(bytes, unit);
        }
    }
    return bytes;
}

bool HostNameMatches(std::string_view hostName, QStringView name) {
    if (!IsAscii(hostName)) return SameNameIgnoringCase(NameFromHost(hostName), name);
    // An ASCII host name decodes to one unit per byte, so the lengths must agree.
    if (qsizetype(hostName.size()) != name.size()) return false;
    for (size_t i = 0; i < hostName.size(); ++i) {
        if (FoldCase(char16_t(hostName[i])) != FoldCase(name[qsizetype(i)].unicode())) return false;
    }
    return true;
}

}  // namespace stowix::posix
