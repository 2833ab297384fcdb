#pragma once
// A DOS path text taken apart as Windows would take it: which drive, and which components from
// that drive's root, with the current drive and each drive's current folder filled in and "."
// and ".." applied. Pure text work: nothing here touches the host.
//
//   "C:\X\Y"  absolute            "\X"  from the root of the current drive
//   "X"       from the current folder of the current drive
//   "D:X"     from the current folder of drive D:
// Both \ and / separate components, and empty components are dropped, as Windows does. ".."
// stops at the drive's root. Blanks and dots at either end of a component are kept as given.
// Windows ends a path text at its first NUL character, and so does this.

#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

namespace stowix {

// The drive of a path that names one ("C:", "d:\\X", "D:X"): an ASCII letter and a colon, the
// letter upper case; nothing for any other path. The one reading of a drive prefix.
inline std::optional<QChar> DrivePrefix(QStringView path) {
    if (path.size() < 2 || path.at(1) != u':') return std::nullopt;
    const QChar letter = path.at(0).toUpper();
    if (letter < u'A' || letter > u'Z') return std::nullopt;
    return letter;
}

struct DosPath {
    char16_t drive = u'C';   // upper case
    QStringList components;  // from the drive's root; empty for the root itself

    bool IsRoot() const { return components.isEmpty(); }
    // "C:\" for a root, "C:\X\Y" otherwise.
    QString Text() const;
};

// Gives the current folder of a drive as components from its root.
using CurrentFolderLookup = std::function<QStringList(char16_t drive)>;

// Nothing for a text that names no path here: an empty text, or a network path ("\\server").
std::optional<DosPath> ParseDosPath(QStringView text, char16_t currentDrive,
                                    const CurrentFolderLookup& currentFolder);

}  // namespace stowix
