#pragma once
// What the media tests share: one QApplication on the offscreen platform, the folder where the
// build draws the program's media, and a scratch folder.

#include <QApplication>
#include <QByteArray>
#include <QFile>
#include <QString>

#include <gtest/gtest.h>

namespace stowix::test {

// The QApplication of the test run, made on first use; it goes before the program's static
// objects do, when the tests are over.
QApplication& EnsureApplication();

// The build tree's program folder, where the media files are drawn.
inline QString MediaFolder() { return QStringLiteral(STOWIX_MEDIA_DIR); }

inline QByteArray ReadMedia(const QString& name) {
    QFile file(MediaFolder() + QLatin1Char('/') + name);
    if (!file.open(QIODevice::ReadOnly)) ADD_FAILURE() << "cannot read " << name.toStdString();
    return file.readAll();
}

}  // namespace stowix::test
