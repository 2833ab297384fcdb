#include "platform/qt/program_icon.h"

#include <QDir>
#include <QFileInfo>
#include <QImageReader>
#include <QPixmap>

namespace stowix {

namespace {

// Adds every image of one file (an .ico holds several) as one size of the icon.
void AddImages(QIcon& icon, const QString& path) {
    if (!QFileInfo::exists(path)) return;
    QImageReader reader(path);
    do {
        const QImage image = reader.read();
        if (!image.isNull()) icon.addPixmap(QPixmap::fromImage(image));
    } while (reader.jumpToNextImage());
}

}  // namespace

QIcon LoadProgramIcon(const QString& programFolder) {
    QIcon icon;
    if (programFolder.isEmpty()) return icon;
    const QDir folder(programFolder);
    // Named with their sizes, the images are read only when a frame or task bar first draws the
    // icon: a run that never shows its window (unattended) never decodes them.
    for (int size : {32, 16}) {
        const QString path = folder.filePath(QStringLiteral("stowix-%1.png").arg(size));
        if (QFileInfo::exists(path)) icon.addFile(path, QSize(size, size));
    }
    // The .ico carries the same two images; it is read only when the images are missing.
    for (const char* name : {"Stowix.ico", "stowix.ico"})
        if (icon.isNull()) AddImages(icon, folder.filePath(QLatin1String(name)));
    return icon;
}

}  // namespace stowix
