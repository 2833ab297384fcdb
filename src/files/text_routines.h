#pragma once
// Small text and number routines shared by the whole program. They keep no state.

#include <QString>

namespace stowix {

// The value as text with blanks removed at both ends: a number in plain decimal form, a flag as
// the word True or False.
QString TrimText(int value);
QString TrimText(bool flag);
QString TrimText(const QString& text);

// True when part occurs in text; case counts (callers upper-case first where it must not).
bool Contains(const QString& text, const QString& part);

// value when low <= value <= high (both bounds inside), otherwise fallback.
int KeepInRange(int value, int low, int high, int fallback);

// Overwrites every occurrence of search in text with replacement, character for character, so
// the text keeps its length; text is changed in the caller's variable and returned. Callers pass
// search and replacement texts of equal length that differ, as the program does ("/" by "-").
QString ReplaceInPlace(QString& text, const QString& search, const QString& replacement);

// The number a text begins with, leading blanks skipped, rounded to a whole number; 0 when the
// text does not begin with a number ("True", "", "x").
int LeadingNumber(const QString& text);

}  // namespace stowix
