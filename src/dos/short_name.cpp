#include "dos/short_name.h"

namespace stowix {

namespace {

bool IsShortNameCharacter(QChar character) {
    const char16_t unit = character.unicode();
    if (unit >= 0x80) return false;
    if ((unit >= u'A' && unit <= u'Z') || (unit >= u'a' && unit <= u'z') ||
        (unit >= u'0' && unit <= u'9'))
        return true;
    return QStringView(u"!#$%&'()-@^_`{}~").contains(character);
}

bool IsShortPart(QStringView part, qsizetype longest) {
    if (part.isEmpty() || part.size() > longest) return false;
    for (QChar character : part)
        if (!IsShortNameCharacter(character)) return false;
    return true;
}

}  // namespace

bool IsDosShortName(QStringView name) {
    const qsizetype dot = name.indexOf(u'.');
    if (dot < 0) return IsShortPart(name, 8);
    return IsShortPart(name.left(dot), 8) && IsShortPart(name.mid(dot + 1), 3);
}

}  // namespace stowix
