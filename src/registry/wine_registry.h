#pragma once
// Wine's registry: a Wine prefix keeps it as three text files beside drive_c (system.reg,
// user.reg, userdef.reg), not as SYSTEM.DAT and USER.DAT. The text begins with
// "WINE REGISTRY Version 2"; each key is a "[path] stamp" line followed by its values
// ("name"=data or @=data, a long one continued on lines after a trailing backslash), with
// ";" comments and "#" option lines (#time=, #arch=, #class=, #link) between them. This reads
// that text: a check for a backup set, and a plain "[key]" / "name=data" form that compares
// key by key as an INI file does. It does not deal with where the files lie or with copying them.

#include <QByteArray>
#include <QString>

#include <vector>

namespace stowix {

// system.reg, user.reg, userdef.reg, as Wine names them.
const std::vector<QString>& WineRegistryFileNames();
// True for one of those names, without regard to case.
bool IsWineRegistryName(const QString& name);

struct WineRegistryCheck {
    bool sound = false;
    QString reason;  // why it is not sound: "line 12 is neither a key nor a value"
    qint64 keys = 0;
    qint64 values = 0;
};

// Reads the whole text: the header, and every line as a key, a value, its continuation, a
// comment or an option. A file cut short mid-value is damaged.
WineRegistryCheck CheckWineRegistryText(const QByteArray& text);

// The text as "[key]" lines and "name=data" lines under them, stamps, #time= lines, comments
// and line continuations dropped; "@" stands for a key's default value. What changes by itself
// on each start of Wine (the stamps) does not show as a difference.
QByteArray WineRegistryAsIni(const QByteArray& text);

}  // namespace stowix
