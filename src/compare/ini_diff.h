#pragma once
// The differences between two INI files as Windows reads them (ini_file.h): per section, the keys
// added, removed and changed, with their old and new values, in the file's own order. Section
// and key names count without regard to case, so a name written in another case is the same
// name; values count with case, as Windows hands them to programs, but without the one pair of
// quotes around a value that Windows drops (a value is still shown as written). A key written
// several times
// ([386Enh] device=) is a list of values: the values added to it and taken from it are reported
// one by one. A section that only one file has, and that holds no keys, is reported by itself.
// It does not deal with reading the files.

#include "compare/ini_file.h"

#include <QString>

#include <optional>
#include <vector>

namespace stowix {

enum class IniChangeKind { Added, Removed, Changed };

struct IniChange {
    QString section;       // as written in the newer file, or the older one for removed ones
    bool outside = false;  // the lines before the first section
    QString key;           // empty for a change of an empty section itself
    bool sectionOnly = false;
    IniChangeKind kind = IniChangeKind::Changed;
    // The value before and after, absent on the side that lacks it; NoValueMarker for a line
    // with a name and no "=".
    std::optional<QString> oldValue;
    std::optional<QString> newValue;
};

inline const QString NoValueMarker = QStringLiteral("(no \"=\")");

std::vector<IniChange> CompareIni(const IniFile& older, const IniFile& newer);

// One change as a line: "[386Enh] device: + C:\WINDOWS\NEW.VXD" (a value added),
// "[boot] shell: - Explorer.exe" (taken), "[boot] shell: Explorer.exe -> Progman.exe" (changed),
// "[Old] (section removed)"; keys before any section under "(before any section)".
QString IniChangeText(const IniChange& change);

}  // namespace stowix
