#pragma once
// Stand-ins for the two calls the program makes of Windows itself, and the Windows folder as the
// program asks for it.

#include "services/result.h"

#include <QString>

namespace stowix {

class WindowsApi {
public:
    virtual ~WindowsApi() = default;
    // Writes the Windows folder's path (a DOS path such as "C:\WINDOWS") into buffer, at most
    // size characters, and gives the number written. Without a Windows folder it fails, and the
    // reason says why in words for the user ("the root of drive C: holds no folder named
    // WINDOWS"); the reason is empty when it cannot tell.
    virtual Result<int> GetWindowsDirectoryA(QString& buffer, int size) = 0;
    // Asks for a restart of Windows; true when the request was taken. Never restarts the host.
    virtual bool ExitWindowsEx(int flags, int reserved) = 0;
};

// The room the program gives GetWindowsDirectoryA, as Windows' own MAX_PATH-sized buffer.
inline constexpr int WindowsFolderBufferSize = 255;

// The Windows folder as the program asks for it ("C:\WINDOWS"), or the call's failure. A path
// that did not fit, or one too short to carry a drive letter and colon, is as good as none: a
// failure without a reason of its own.
inline Result<QString> WindowsDirectory(WindowsApi& windows) {
    QString buffer;
    buffer.reserve(WindowsFolderBufferSize);
    const int written = TRY(windows.GetWindowsDirectoryA(buffer, WindowsFolderBufferSize));
    if (written < 3 || written > WindowsFolderBufferSize) return Result<QString>::Fail(QString());
    return buffer.left(written);
}

// What a command tells the user when WindowsDirectory failed: why, and how to name the folder.
inline QString NoWindowsFolderMessage(const QString& reason) {
    return (reason.isEmpty() ? QStringLiteral("drive C: holds no Windows folder") : reason) +
           QStringLiteral(
               ". Set STOWIX_WINDOWS_FOLDER to the Windows folder, for example "
               "C:\\WINDOWS.");
}

}  // namespace stowix
