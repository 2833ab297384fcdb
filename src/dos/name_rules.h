#pragma once
// The names Windows refuses when a file or folder is created: reserved characters
// (< > : " / \ | ? *), control characters, and device names (CON, PRN, AUX, NUL, COM1-COM9,
// LPT1-LPT9) with or without an extension, in any case. The host would take most of these; the
// platform refuses them too so that the program meets the rules it would meet on Windows.
// Blanks and dots at either end are not touched: a name keeps them as given.

#include <QString>

namespace stowix {

// Why Windows would refuse this name for a new entry, as a sentence; empty when it would not.
QString NameRefusal(QStringView name);

}  // namespace stowix
