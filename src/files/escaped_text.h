#pragma once
// Text that came from a drive (file names, INI keys and values, registry names, recorded paths),
// made safe to show: on a terminal, where a control character could move the cursor, retitle
// the window or clear it, and in a box, where a direction mark could make one name look like
// another. Every such character is shown as an escape that names it: "\x1B" for a control
// character (C0, DEL and C1) and for each byte of a host name that is not UTF-8, "\u202E" for a
// direction or other invisible formatting mark and for half a character that takes two units.
// Everything else is shown as it is.

#include <QString>
#include <QStringView>

namespace stowix {

// alsoEscaped: characters escaped besides those above (stowix-dir escapes the backslash, which
// separates folders in its paths but which no Windows name can hold).
QString EscapedText(QStringView text, QStringView alsoEscaped = {});

}  // namespace stowix
