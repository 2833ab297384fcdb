#include "fs/file_system.h"

#include <algorithm>
#include <limits>

namespace stowix {

Result<FileFacts> FileSystem::ReadFileFacts(const QString& path) {
    Result<int> attributes = ReadAttributes(path);
    if (!attributes) return attributes.status();
    Result<std::unique_ptr<FileReader>> opened = OpenForReading(path);
    if (!opened) return opened.status();
    FileFacts facts;
    facts.size = opened.value()->Size();
    facts.attributes = attributes.value();
    return facts;
}

Status FileSystem::WriteFileFrom(FileReader& source, std::optional<int> attributes,
                                 const QDateTime& lastWrite, const QString& destination,
                                 const std::function<Status()>& beforePlacing) {
    (void)source;
    (void)attributes;
    (void)lastWrite;
    (void)beforePlacing;
    return Status::Fail(destination +
                        QStringLiteral(": This drive cannot take a copy from another drive"));
}

Result<QByteArray> FileSystem::ReadFile(const QString& path, qint64 maxBytes) {
    Result<std::unique_ptr<FileReader>> opened = OpenForReading(path);
    if (!opened) return opened.status();
    FileReader& reader = *opened.value();
    const auto tooLarge = [&] {
        return Result<QByteArray>::Fail(path + QStringLiteral(": The file is larger than ") +
                                        QString::number(maxBytes) +
                                        QStringLiteral(" bytes, the most that is read of it"));
    };
    if (reader.Size() > maxBytes) return tooLarge();

    // The file may have grown since it was opened: read to its real end, one byte past the limit
    // at most, so that growth beyond the limit is refused like a file that was too large.
    const qint64 past = maxBytes < std::numeric_limits<qint64>::max() ? maxBytes + 1 : maxBytes;
    QByteArray content;
    content.resize(qsizetype(reader.Size()));
    qint64 done = 0;
    for (;;) {
        if (done == content.size()) {
            if (done > maxBytes) return tooLarge();
            content.resize(qsizetype(std::min<qint64>(past, std::max<qint64>(done * 2, 4096))));
        }
        const Result<qint64> got =
            reader.ReadAt(done, content.data() + done, content.size() - done);
        if (!got) return got.status();
        if (got.value() == 0) break;
        done += got.value();
    }
    if (done > maxBytes) return tooLarge();
    content.resize(qsizetype(done));
    return content;
}

}  // namespace stowix
