#pragma once
// An INI file as Windows 9x's profile functions read it: Windows-1252 text with CR LF or LF line
// ends, "[section]" lines, "key=value" lines with the blanks around the name and the value
// dropped, and lines that begin with ";" as comments. Section and key names are found without
// regard to case; a section that appears twice is one section whose keys follow on in the order
// of the file; a key that appears twice keeps every value, in order (Windows reads the first for
// a single value, and lists such as [386Enh] device= take all of them). Lines before the first
// section belong to no section: Windows does not read them, but they are part of the file.
// This does not deal with comparing two files (ini_diff.h) or with reading them from a drive.

#include <QByteArray>
#include <QString>
#include <QStringView>

#include <vector>

namespace stowix {

// One "key=value" line, or a line with a name and no "=" (hasValue false). Both texts are views
// into the text of the IniFile that holds the entry: a file of a million lines costs no
// million strings.
struct IniEntry {
    QStringView key;    // as written, blanks around it dropped
    QStringView value;  // as written after the first "=", blanks around it dropped; quotes kept
    bool hasValue = true;
};

struct IniSection {
    QString name;                   // as first written; empty for the lines before any section
    bool outside = false;           // true for the lines before the first section header
    std::vector<IniEntry> entries;  // in file order, over every appearance of the section
};

// The entries view `text`, which an IniFile keeps unchanged: a copy shares it, and a move
// keeps it where it is.
struct IniFile {
    QString text;                      // the whole file, decoded
    std::vector<IniSection> sections;  // in order of first appearance; the outside part first
};

// Reads bytes in the ANSI code page. Never fails: any bytes are some INI text.
IniFile ParseIni(const QByteArray& bytes);

// The form under which Windows finds a section or key name: case folded.
QString IniNameKey(QStringView name);

// True for names that end in ".INI" without regard to case (the files compared key by key).
bool IsIniFileName(const QString& name);

}  // namespace stowix
