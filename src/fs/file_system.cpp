#include "fs/file_system.h"

#include "dos/short_name.h"

#include <algorithm>
#include <limits>

namespace stowix {

namespace {

constexpr int EveryEntry =
    Attribute::ReadOnly | Attribute::Hidden | Attribute::System | Attribute::Folder;

bool IsLinkOrUnknown(FileSystem& files, const QString& path) {
    const Result<bool> link = files.IsLink(path);
    return !link || link.value();  // what cannot be told is not trusted
}

// A held folder that names each entry by its path: for a drive on which no link can lead a
// path elsewhere.
class HeldByPath final : public HeldFolder {
public:
    HeldByPath(FileSystem& files, QString path) : m_files(files), m_path(std::move(path)) {}

    Result<std::vector<FolderEntry>> List() override {
        std::vector<FolderEntry> listed =
            TRY(m_files.ListFolder(m_path + QStringLiteral("\\*.*"), EveryEntry));
        std::vector<FolderEntry> entries;
        for (FolderEntry& entry : listed)
            if (entry.name != u"." && entry.name != u"..") entries.push_back(std::move(entry));
        return entries;
    }
    Status DeleteFile(const QString& name) override {
        const QString path = m_path + u'\\' + name;
        if (!IsLinkOrUnknown(m_files, path)) TRY(m_files.WriteAttributes(path, 0));
        return m_files.DeleteFile(path);
    }
    Status Remove() override { return m_files.RemoveEmptyFolder(m_path); }

private:
    FileSystem& m_files;
    QString m_path;
};

// A folder that exists, is one, and is no link.
Status CheckRealFolder(FileSystem& files, const QString& path) {
    const int attributes = TRY(files.ReadAttributes(path));
    if (IsLinkOrUnknown(files, path))
        return Status::Fail(path + QStringLiteral(" is a link, which is not followed"));
    if ((attributes & Attribute::Folder) == 0)
        return Status::Fail(path + QStringLiteral(" is not a folder"));
    return Status::Ok();
}

}  // namespace

Result<std::unique_ptr<HeldFolder>> FileSystem::HoldFolder(const QString& path) {
    TRY(CheckRealFolder(*this, path));
    return std::unique_ptr<HeldFolder>(std::make_unique<HeldByPath>(*this, path));
}

Status FileSystem::CheckPrivateFolder(const QString& path) { return CheckRealFolder(*this, path); }

Result<FileFacts> FileSystem::ReadFileFacts(const QString& path) {
    const int attributes = TRY(ReadAttributes(path));
    const std::unique_ptr<FileReader> opened = TRY(OpenForReading(path));
    FileFacts facts;
    facts.size = opened->Size();
    facts.attributes = attributes;
    return facts;
}

Result<std::vector<FileSize>> FileSystem::ListFileSizes(const QString& pattern, int mask) {
    const std::vector<FolderEntry> listed = TRY(ListFolder(pattern, mask));
    const QString folder =
        pattern.left(std::max(pattern.lastIndexOf(u'\\'), pattern.lastIndexOf(u':')) + 1);
    std::vector<FileSize> sizes;
    sizes.reserve(listed.size());
    for (const FolderEntry& entry : listed) {
        if (entry.attributes & Attribute::Folder) continue;
        const Result<FileFacts> facts = ReadFileFacts(folder + entry.name);
        if (facts) sizes.push_back({entry.name, facts.value().size});
    }
    return sizes;
}

Result<DriveSpace> FileSystem::FreeSpace(const QString& path) {
    return Result<DriveSpace>::Fail(
        path + QStringLiteral(": the free space of this drive cannot be known"));
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
    const std::unique_ptr<FileReader> opened = TRY(OpenForReading(path));
    FileReader& reader = *opened;
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
        const qint64 got = TRY(reader.ReadAt(done, content.data() + done, content.size() - done));
        if (got == 0) break;
        done += got;
    }
    if (done > maxBytes) return tooLarge();
    content.resize(qsizetype(done));
    return content;
}

Result<QString> FileSystem::ShortPath(const QString& path) {
    const QStringList parts = path.split(u'\\', Qt::SkipEmptyParts);
    if (parts.isEmpty() || parts.first().size() != 2 || parts.first().at(1) != u':')
        return Status::Fail(path + QStringLiteral(": not a full DOS path"));
    QString shortPath = parts.first();
    QString longPath = parts.first();
    for (qsizetype i = 1; i < parts.size(); ++i) {
        longPath += u'\\' + parts[i];
        QString name = parts[i];
        if (!IsDosShortName(name)) {
            const QString alias = TRY(ShortAlias(longPath));
            if (!IsDosShortName(alias))
                return Status::Fail(longPath + QStringLiteral(": its short name ") + alias +
                                    QStringLiteral(" holds characters DOS reads otherwise"));
            name = alias;
        }
        shortPath += u'\\' + name;
    }
    return shortPath;
}

}  // namespace stowix
