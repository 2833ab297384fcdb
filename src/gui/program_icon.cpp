#include "gui/program_icon.h"

#include "gui/deferred_icon_engine.h"

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

// One of the program's PNG images and its size.
struct PngImage {
    QString path;
    QSize size;
};

// The images as one icon. Qt's own reading of an image file by name asks every image plugin
// whether it knows the file, which loads them all (and the libraries they need); these files are
// read as PNG, which Qt reads without a plugin.
QIcon ReadPngImages(const QList<PngImage>& images) {
    QIcon icon;
    for (const PngImage& image : images) {
        QImageReader reader(image.path, "png");
        reader.setDecideFormatFromContent(false);
        reader.setAutoDetectImageFormat(false);
        const QImage read = reader.read();
        if (!read.isNull()) icon.addPixmap(QPixmap::fromImage(read));
    }
    return icon;
}

}  // namespace

QIcon LoadProgramIcon(const QString& programFolder) {
    QIcon icon;
    if (programFolder.isEmpty()) return icon;
    const QDir folder(programFolder);
    // Named with their sizes, the images are read only when a frame or task bar first draws the
    // icon: a run that never shows its window (unattended) never opens them.
    QList<PngImage> images;
    QList<QSize> sizes;
    for (int size : {32, 16}) {
        const QString path = folder.filePath(QStringLiteral("stowix-%1.png").arg(size));
        if (!QFileInfo::exists(path)) continue;
        images.append({path, QSize(size, size)});
        sizes.append(QSize(size, size));
    }
    if (!images.isEmpty())
        icon = QIcon(new DeferredIconEngine([images] { return ReadPngImages(images); }, sizes));
    // The .ico carries the same two images; it is read only when the images are missing.
    for (const char* name : {"Stowix.ico", "stowix.ico"})
        if (icon.isNull()) AddImages(icon, folder.filePath(QLatin1String(name)));
    return icon;
}

}  // namespace stowix
