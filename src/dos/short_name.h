#pragma once
// The names real-mode DOS can use: before Windows loads, only short (8.3) names exist, and a
// batch file's words are split at blanks. A short name is one to eight characters, then
// optionally a dot and one to three more, each a letter or digit or one of ! # $ % & ' ( ) - @
// ^ _ ` { } ~ (letters in either case: DOS takes them in upper case). Characters beyond ASCII
// are refused too: a boot script is written in the ANSI code page and read by DOS in the OEM one,
// where they are other characters.

#include <QString>

namespace stowix {

bool IsDosShortName(QStringView name);

}  // namespace stowix
