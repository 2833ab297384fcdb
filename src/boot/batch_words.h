#pragma once
// How COMMAND.COM takes a command line apart: words separated by blanks, tabs, commas,
// semicolons and equals signs, double quotes keeping a long name with blanks together. Pure text
// work.

#include <QString>
#include <QStringList>
#include <QStringView>

namespace stowix {

bool IsDelimiter(QChar c);
QStringView SkipDelimiters(QStringView text);
QStringView SkipBlanks(QStringView text);
// Takes the next word off rest: delimiters skipped, then everything up to the next delimiter
// outside double quotes; the quotes themselves are dropped.
QString NextWord(QStringView& rest);
// Every word of rest.
QStringList Words(QStringView rest);

// The first of these words (a command's paths and switches) that names a file or folder as
// real-mode DOS cannot: a part that is no short 8.3 name (a long name, a character beyond ASCII);
// wildcards count as name characters, switches ("/Y", "+R", "-a") are passed over. Empty when
// DOS can name them all.
QString FirstNameDosCannotUse(const QStringList& words);

}  // namespace stowix
