#pragma once
// How Windows compares names: each character upper-cased on its own, so "System.Dat" and
// "SYSTEM.DAT" are one name. Shared by path lookup and wildcard matching so that both agree.

#include <QString>

namespace stowix {

// One UTF-16 unit upper-cased by its simple mapping; ASCII without a table lookup.
inline char16_t FoldCase(char16_t unit) {
    if (unit < 0x80) return (unit >= u'a' && unit <= u'z') ? char16_t(unit - 32) : unit;
    return QChar::toUpper(unit);
}

// True when the two names are the same without regard to case.
bool SameNameIgnoringCase(QStringView left, QStringView right);

}  // namespace stowix
