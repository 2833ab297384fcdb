#include "platform/drives/drive_dispatch.h"

namespace stowix {

namespace {

class DriveDispatch final : public FileSystem {
public:
    DriveDispatch(std::vector<DrivePart> parts, QChar current)
        : m_parts(std::move(parts)), m_current(current.toUpper())
    {
    }

    Result<int> ReadAttributes(const QString& path) override
    {
        FileSystem* files = For(path);
        return files ? files->ReadAttributes(path) : Result<int>(NoDrive(path));
    }
    Status WriteAttributes(const QString& path, int attributes) override
    {
        FileSystem* files = For(path);
        return files ? files->WriteAttributes(path, attributes) : NoDrive(path);
    }
    Status CopyFile(const QString& source, const QString& destination) override
    {
        FileSystem* from = For(source);
        if (!from)
            return NoDrive(source);
        FileSystem* to = For(destination);
        if (!to)
            return NoDrive(destination);
        if (from != to)
            return Status::Fail(destination + QStringLiteral(": cannot copy from drive ") +
                                DriveOf(source) + QStringLiteral(" to drive ") +
                                DriveOf(destination) +
                                QStringLiteral(", which are kept in different ways (a folder "
                                               "and a disk image, or two images)"));
        return from->CopyFile(source, destination);
    }
    Result<bool> CopyFileKeepingAttributes(const QString& source,
                                           const QString& destination) override
    {
        // One implementation serving both drives copies in its own way; otherwise the plain way
        // meets CopyFile, which says why it cannot.
        FileSystem* from = For(source);
        if (from && from == For(destination))
            return from->CopyFileKeepingAttributes(source, destination);
        return FileSystem::CopyFileKeepingAttributes(source, destination);
    }
    std::vector<Result<bool>> CopyFilesKeepingAttributes(
        const std::vector<FileCopy>& copies,
        const std::function<void(size_t)>& beforeEach) override
    {
        FileSystem* one = copies.empty() ? nullptr : For(copies.front().source);
        for (const FileCopy& copy : copies)
            if (For(copy.source) != one || For(copy.destination) != one)
                one = nullptr;
        if (one)
            return one->CopyFilesKeepingAttributes(copies, beforeEach);
        return FileSystem::CopyFilesKeepingAttributes(copies, beforeEach);
    }
    Status DeleteFile(const QString& path) override
    {
        FileSystem* files = For(path);
        return files ? files->DeleteFile(path) : NoDrive(path);
    }
    Status DeleteMatching(const QString& pattern) override
    {
        FileSystem* files = For(pattern);
        return files ? files->DeleteMatching(pattern) : NoDrive(pattern);
    }
    Status CreateFolder(const QString& path) override
    {
        FileSystem* files = For(path);
        return files ? files->CreateFolder(path) : NoDrive(path);
    }
    Status RemoveEmptyFolder(const QString& path) override
    {
        FileSystem* files = For(path);
        return files ? files->RemoveEmptyFolder(path) : NoDrive(path);
    }
    Status RestrictToOwner(const QString& path) override
    {
        FileSystem* files = For(path);
        return files ? files->RestrictToOwner(path) : NoDrive(path);
    }
    Result<std::vector<FolderEntry>> ListFolder(const QString& pattern, int mask) override
    {
        FileSystem* files = For(pattern);
        if (!files)
            return NoDrive(pattern);
        return files->ListFolder(pattern, mask);
    }
    Result<std::unique_ptr<FileReader>> OpenForReading(const QString& path) override
    {
        FileSystem* files = For(path);
        if (!files)
            return NoDrive(path);
        return files->OpenForReading(path);
    }
    Result<FileFacts> ReadFileFacts(const QString& path) override
    {
        FileSystem* files = For(path);
        if (!files)
            return NoDrive(path);
        return files->ReadFileFacts(path);
    }
    QString CurrentDrive() override { return QString(m_current) + u':'; }
    Status ChangeDrive(QChar letter) override
    {
        const QChar upper = letter.toUpper();
        FileSystem* files = Serving(upper);
        if (!files)
            return NoDrive(QString(upper) + u':');
        // The implementation keeps the drive's current folder, and takes relative paths of the
        // drive from now on; it must know that the drive is current.
        if (Status changed = files->ChangeDrive(upper); !changed)
            return changed;
        m_current = upper;
        return Status::Ok();
    }
    QString CurrentFolder() override
    {
        FileSystem* files = Serving(m_current);
        return files ? files->CurrentFolder() : CurrentDrive() + u'\\';
    }
    Status WriteTextFile(const QString& path, const std::vector<QString>& lines) override
    {
        FileSystem* files = For(path);
        return files ? files->WriteTextFile(path, lines) : NoDrive(path);
    }
    Status FlushToDisk(const QString& path) override
    {
        FileSystem* files = For(path);
        return files ? files->FlushToDisk(path) : NoDrive(path);
    }
    Result<bool> IsLink(const QString& path) override
    {
        FileSystem* files = For(path);
        return files ? files->IsLink(path) : Result<bool>(NoDrive(path));
    }

private:
    static bool IsDriveLetter(QChar character)
    {
        const char16_t unit = character.unicode();
        return (unit >= u'A' && unit <= u'Z') || (unit >= u'a' && unit <= u'z');
    }

    // The drive a path names, as a DOS path is read: "X:..." names X:, anything else the current
    // drive.
    QChar LetterOf(const QString& path) const
    {
        if (path.size() >= 2 && path.at(1) == u':' && IsDriveLetter(path.at(0)))
            return path.at(0).toUpper();
        return m_current;
    }
    QString DriveOf(const QString& path) const { return QString(LetterOf(path)) + u':'; }


    FileSystem* Serving(QChar letter) const
    {
        for (const DrivePart& part : m_parts)
            if (part.letters.contains(letter))
                return part.files.get();
        return nullptr;
    }
    FileSystem* For(const QString& path) const { return Serving(LetterOf(path)); }

    Status NoDrive(const QString& path) const
    {
        return Status::Fail(path + QStringLiteral(": The drive is not configured"));
    }

    std::vector<DrivePart> m_parts;
    QChar m_current;
};

}  // namespace

std::unique_ptr<FileSystem> MakeDriveDispatch(std::vector<DrivePart> parts, QChar current)
{
    return std::make_unique<DriveDispatch>(std::move(parts), current);
}

}  // namespace stowix
