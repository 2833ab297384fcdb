#pragma once
// Text in the ANSI code page of a Western Windows 9x system, Windows-1252, as its text files
// hold it: the boot script the program writes and the batch files the boot stand-in reads.

#include <QByteArray>
#include <QChar>
#include <QString>

namespace stowix {

// A character the code page cannot hold becomes "?", one per character (a surrogate pair is one
// character), as Windows' own conversion does by default.
QByteArray ToWindows1252(QStringView text);

// One byte as a character; the five bytes that the code page leaves undefined stand for the
// control characters of the same value, as Windows maps them.
QChar CharacterFromWindows1252(unsigned char byte);

// True when every character of text has a byte of its own in the code page.
bool FitsWindows1252(QStringView text);

}  // namespace stowix
