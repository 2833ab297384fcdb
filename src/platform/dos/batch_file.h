#pragma once
// The text of a DOS batch file as COMMAND.COM reads it: single bytes in the ANSI code page
// (Windows-1252), lines ended by CR LF or LF, and the end at a Ctrl-Z mark if there is one.

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace stowix {


// The lines of a batch file's content, without their line ends.
QStringList BatchLinesFromAnsi(const QByteArray& content);

}  // namespace stowix
