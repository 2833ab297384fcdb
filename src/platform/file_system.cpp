#include "platform/file_system.h"

namespace stowix {

Result<QByteArray> FileSystem::ReadFile(const QString& path, qint64 maxBytes)
{
    Result<std::unique_ptr<FileReader>> opened = OpenForReading(path);
    if (!opened)
        return opened.status();
    FileReader& reader = *opened.value();
    if (reader.Size() > maxBytes)
        return Status::Fail(QStringLiteral("%1: the file is larger than the %2 bytes that can be "
                                           "read at once")
                                .arg(path)
                                .arg(maxBytes));
    QByteArray bytes(reader.Size(), Qt::Uninitialized);
    qint64 done = 0;
    while (done < bytes.size()) {
        Result<qint64> got = reader.ReadAt(done, bytes.data() + done, bytes.size() - done);
        if (!got)
            return got.status();
        if (got.value() == 0)
            break;
        done += got.value();
    }
    bytes.truncate(done);
    return bytes;
}

}  // namespace stowix
