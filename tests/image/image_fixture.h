#pragma once
// An image made by mtools and the engine opened on it as drive C:, for the engine's tests.

#include "fat/fat_image_file_system.h"
#include "image/mtools_image.h"

#include <gtest/gtest.h>

#include <memory>

namespace stowix::test {

inline QByteArray Pattern(qint64 size, int seed) {
    QByteArray bytes(size, Qt::Uninitialized);
    quint32 state = quint32(seed) * 2654435761u + 1;
    for (qint64 i = 0; i < size; ++i) {
        state = state * 1103515245u + 12345u;
        bytes[i] = char(state >> 16);
    }
    return bytes;
}

inline std::unique_ptr<FileSystem> OpenImage(const MtoolsImage& image,
                                             const FatImageOptions& options = {}) {
    Result<std::unique_ptr<FileSystem>> opened =
        OpenFatImageFile(u'C', image.Path().toStdString(), options);
    EXPECT_TRUE(opened.ok()) << opened.reason().toStdString();
    if (!opened) return nullptr;
    return std::move(opened).value();
}

inline QStringList NamesOf(const Result<std::vector<FolderEntry>>& listed) {
    QStringList names;
    if (listed) {
        for (const FolderEntry& entry : listed.value()) names.append(entry.name);
    }
    names.sort();
    return names;
}

}  // namespace stowix::test
