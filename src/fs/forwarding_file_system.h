#pragma once
// The base of a file system that wraps another: every call, those with a default of their own
// included, goes on to the inner file system unchanged, so that a wrapper overrides only the calls
// it changes. A call added to FileSystem is forwarded here and nowhere else. A wrapper that wants
// a composite call (CopyFileKeepingAttributes, CopyFilesKeepingAttributes, ReadFileFacts) made of
// its own overridden calls instead calls FileSystem's default for it. It does not own the inner
// file system, which must outlive it.

#include "fs/file_system.h"

namespace stowix {

class ForwardingFileSystem : public FileSystem {
public:
    explicit ForwardingFileSystem(FileSystem& inner) : m_inner(inner) {}
    // Not copied: a copy made from another wrapper would forward to that wrapper's inner file
    // system, past the wrapper itself. To wrap a wrapper, pass it as a FileSystem&.
    ForwardingFileSystem(const ForwardingFileSystem&) = delete;
    ForwardingFileSystem& operator=(const ForwardingFileSystem&) = delete;

    Result<int> ReadAttributes(const QString& path) override {
        return m_inner.ReadAttributes(path);
    }
    Status WriteAttributes(const QString& path, int attributes) override {
        return m_inner.WriteAttributes(path, attributes);
    }
    Status CopyFile(const QString& source, const QString& destination) override {
        return m_inner.CopyFile(source, destination);
    }
    Result<bool> CopyFileKeepingAttributes(const QString& source,
                                           const QString& destination) override {
        return m_inner.CopyFileKeepingAttributes(source, destination);
    }
    std::vector<Result<bool>> CopyFilesKeepingAttributes(
        const std::vector<FileCopy>& copies,
        const std::function<void(size_t)>& beforeEach) override {
        return m_inner.CopyFilesKeepingAttributes(copies, beforeEach);
    }
    Status WriteFileFrom(FileReader& source, std::optional<int> attributes,
                         const QDateTime& lastWrite, const QString& destination,
                         const std::function<Status()>& beforePlacing) override {
        return m_inner.WriteFileFrom(source, attributes, lastWrite, destination, beforePlacing);
    }
    Status WriteAttributesOfSingleFile(const QString& path, int attributes) override {
        return m_inner.WriteAttributesOfSingleFile(path, attributes);
    }
    Status DeleteFile(const QString& path) override { return m_inner.DeleteFile(path); }
    Status DeleteMatching(const QString& pattern) override {
        return m_inner.DeleteMatching(pattern);
    }
    Status CreateFolder(const QString& path) override { return m_inner.CreateFolder(path); }
    Status RemoveEmptyFolder(const QString& path) override {
        return m_inner.RemoveEmptyFolder(path);
    }
    Result<std::unique_ptr<HeldFolder>> HoldFolder(const QString& path) override {
        return m_inner.HoldFolder(path);
    }
    Status RestrictToOwner(const QString& path) override { return m_inner.RestrictToOwner(path); }
    Status CheckPrivateFolder(const QString& path) override {
        return m_inner.CheckPrivateFolder(path);
    }
    Result<std::vector<FolderEntry>> ListFolder(const QString& pattern, int mask) override {
        return m_inner.ListFolder(pattern, mask);
    }
    QString CurrentDrive() override { return m_inner.CurrentDrive(); }
    Status ChangeDrive(QChar letter) override { return m_inner.ChangeDrive(letter); }
    QString CurrentFolder() override { return m_inner.CurrentFolder(); }
    Status WriteTextFile(const QString& path, const std::vector<QString>& lines) override {
        return m_inner.WriteTextFile(path, lines);
    }
    Result<std::unique_ptr<FileReader>> OpenForReading(const QString& path) override {
        return m_inner.OpenForReading(path);
    }
    Result<FileFacts> ReadFileFacts(const QString& path) override {
        return m_inner.ReadFileFacts(path);
    }
    Result<std::vector<FileSize>> ListFileSizes(const QString& pattern, int mask) override {
        return m_inner.ListFileSizes(pattern, mask);
    }
    Status FlushToDisk(const QString& path) override { return m_inner.FlushToDisk(path); }
    Result<DriveSpace> FreeSpace(const QString& path) override { return m_inner.FreeSpace(path); }
    Result<bool> IsLink(const QString& path) override { return m_inner.IsLink(path); }
    Result<QString> ShortAlias(const QString& path) override { return m_inner.ShortAlias(path); }

protected:
    FileSystem& Inner() { return m_inner; }

private:
    FileSystem& m_inner;
};

}  // namespace stowix
