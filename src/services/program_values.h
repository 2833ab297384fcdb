#pragma once

#include <QString>

namespace stowix {

// Values that start-up fills once and everyone else only reads.
struct ProgramValues {
    QString WindowsFolder;  // as the system reports it, e.g. "C:\WINDOWS"; no trailing backslash
    QString WindowsFolderTail;  // WindowsFolder without its drive letter and colon, e.g. "\WINDOWS"
};

// The program's version is 1.00.0103; its third part is the revision shown to the user.
constexpr int ProgramRevision = 103;

// The backup root on drive C:, where backup sets and staged registry files lie.
inline const QString BackupRoot = QStringLiteral("C:\\Stowix");

}  // namespace stowix
