#include "platform/qt/program_icon.h"

#include <QDir>
#include <QFileInfo>
#include <QIconEngine>
#include <QImageReader>
#include <QPainter>
#include <QPixmap>

#include <optional>

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

// The program's PNG images of known sizes, read only when the icon is first drawn or asked for a
// picture. Qt's own reading of an image file by name asks every image plugin whether it knows
// the file, which loads them all (and the libraries they need) at start-up; these files are
// read as PNG, which Qt reads without a plugin.
class PngFilesIconEngine final : public QIconEngine {
public:
    struct Image {
        QString path;
        QSize size;
    };
    explicit PngFilesIconEngine(QList<Image> images) : m_images(std::move(images)) {}

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode,
               QIcon::State state) override {
        Loaded().paint(painter, rect, Qt::AlignCenter, mode, state);
    }
    QSize actualSize(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
        return Loaded().actualSize(size, mode, state);
    }
    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
        return Loaded().pixmap(size, mode, state);
    }
    QPixmap scaledPixmap(const QSize& size, QIcon::Mode mode, QIcon::State state,
                         qreal scale) override {
        return Loaded().pixmap(size, scale, mode, state);
    }
    QList<QSize> availableSizes(QIcon::Mode, QIcon::State) override {
        QList<QSize> sizes;
        for (const Image& image : m_images) sizes.append(image.size);
        return sizes;
    }
    bool isNull() override { return m_images.isEmpty(); }
    QString key() const override { return QStringLiteral("StowixPngFiles"); }
    QIconEngine* clone() const override { return new PngFilesIconEngine(m_images); }

private:
    const QIcon& Loaded() {
        if (!m_loaded) {
            m_loaded.emplace();
            for (const Image& image : m_images) {
                QImageReader reader(image.path, "png");
                reader.setDecideFormatFromContent(false);
                reader.setAutoDetectImageFormat(false);
                const QImage read = reader.read();
                if (!read.isNull()) m_loaded->addPixmap(QPixmap::fromImage(read));
            }
        }
        return *m_loaded;
    }

    QList<Image> m_images;
    std::optional<QIcon> m_loaded;
};

}  // namespace

QIcon LoadProgramIcon(const QString& programFolder) {
    QIcon icon;
    if (programFolder.isEmpty()) return icon;
    const QDir folder(programFolder);
    // Named with their sizes, the images are read only when a frame or task bar first draws the
    // icon: a run that never shows its window (unattended) never opens them.
    QList<PngFilesIconEngine::Image> images;
    for (int size : {32, 16}) {
        const QString path = folder.filePath(QStringLiteral("stowix-%1.png").arg(size));
        if (QFileInfo::exists(path)) images.append({path, QSize(size, size)});
    }
    if (!images.isEmpty()) icon = QIcon(new PngFilesIconEngine(std::move(images)));
    // The .ico carries the same two images; it is read only when the images are missing.
    for (const char* name : {"Stowix.ico", "stowix.ico"})
        if (icon.isNull()) AddImages(icon, folder.filePath(QLatin1String(name)));
    return icon;
}

}  // namespace stowix
