#include "shell/start_checks.h"

namespace stowix {

Result<QString> FindWindowsFolder(FileSystem& files, WindowsApi& windows) {
    if (const Status onDriveC = files.ChangeDrive(QLatin1Char('C')); !onDriveC.ok())
        return onDriveC;
    return WindowsDirectory(windows);
}

// Line breaks inside message texts are single carriage returns; the Qt layer shows them as
// line breaks.
QString NoWindowsFolderText(const QString& reason, const QString& drivePath) {
    // The reason, when there is one, says what is wrong (a drive folder that does not exist, two
    // WINDOWS folders) better than the general sentence would.
    QString text = QStringLiteral("No Windows folder was found on drive C:.");
    if (!reason.isEmpty()) {
        text = reason;
        text[0] = text.at(0).toUpper();
        if (!text.endsWith(u'.')) text += u'.';
    }
    // Which drive that was, in the user's own terms: the folder, prefix or disk file.
    if (!drivePath.isEmpty() && !text.contains(drivePath))
        text += QStringLiteral(" Drive C: is ") + drivePath + u'.';
    text += QStringLiteral(
        "\r\rSet STOWIX_DRIVE_C to the host folder that holds drive C: (for instance a mounted "
        "Windows 95/98 partition or a Wine prefix's drive_c), or set STOWIX_WINDOWS_FOLDER to "
        "the Windows folder as a DOS path (for instance C:\\WINDOWS); then start Stowix again.");
    return text;
}

}  // namespace stowix
