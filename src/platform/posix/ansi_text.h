#pragma once
// Text in the ANSI code page of a Western Windows 9x system, Windows-1252, as its text files
// hold it. A character the code page cannot hold becomes "?", one per character (a surrogate
// pair is one character), as Windows' own conversion does by default.

#include <QByteArray>
#include <QString>

namespace stowix::posix {

QByteArray ToWindows1252(QStringView text);

}  // namespace stowix::posix
