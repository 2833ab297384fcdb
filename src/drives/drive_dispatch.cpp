#include "drives/drive_dispatch.h"

namespace stowix {

namespace {

class DriveDispatch final : public FileSystem {
public:
    DriveDispatch(std::vector<DrivePart> parts, QChar current)
        : m_parts(std::move(parts)), m_current(current.toUpper()) {}

    Result<int> ReadAttributes(const QString& path) override {
        FileSystem* files = For(path);
        return files ? files->ReadAttributes(path) : Result<int>(NoDrive(path));
    }
    Status WriteAttributes(const QString& path, int attributes) override {
        FileSystem* files = For(path);
        return files ? files->WriteAttributes(path, attributes) : NoDrive(path);
    }
    Status CopyFile(const QString& source, const QString& destination) override {
        FileSystem* from = For(source);
        if (!from) return NoDrive(source);
        FileSystem* to = For(destination);
        if (!to) return NoDrive(destination);
        if (from != to) return CopyAcross(*from, *to, source, destination, false);
        return from->CopyFile(source, destination);
    }
    Result<bool> CopyFileKeepingAttributes(const QString& source,
                                           const QString& destination) override {
        // One implementation serving both drives copies in its own way.
        FileSystem* from = For(source);
        FileSystem* to = For(destination);
        if (from && from == to) return from->CopyFileKeepingAttributes(source, destination);
        if (!from || !to || source.isEmpty() || !from->ReadAttributes(source).ok())
            return FileSystem::CopyFileKeepingAttributes(source, destination);

        // As the plain way does: a read-only file in the way has that bit cleared for the copy,
        // and back if the copy fails; the copy carries the source's attributes from the start.
        const Result<int> old = to->ReadAttributes(destination);
        const bool clear = old && (old.value() & Attribute::ReadOnly) != 0 &&
                           (old.value() & Attribute::Folder) == 0;
        if (old && (old.value() & Attribute::Folder) != 0)
            return Status::Fail(destination + QStringLiteral(" is a folder"));
        if (clear) TRY(to->WriteAttributes(destination, old.value() & ~Attribute::ReadOnly));
        if (Status copied = CopyAcross(*from, *to, source, destination, true); !copied) {
            if (clear) (void)to->WriteAttributes(destination, old.value());
            return copied;
        }
        return true;
    }
    std::vector<Result<bool>> CopyFilesKeepingAttributes(
        const std::vector<FileCopy>& copies,
        const std::function<void(size_t)>& beforeEach) override {
        FileSystem* one = copies.empty() ? nullptr : For(copies.front().source);
        for (const FileCopy& copy : copies)
            if (For(copy.source) != one || For(copy.destination) != one) one = nullptr;
        if (one) return one->CopyFilesKeepingAttributes(copies, beforeEach);
        return FileSystem::CopyFilesKeepingAttributes(copies, beforeEach);
    }
    Status WriteFileFrom(FileReader& source, std::optional<int> attributes,
                         const QDateTime& lastWrite, const QString& destination,
                         const std::function<Status()>& beforePlacing) override {
        FileSystem* files = For(destination);
        if (!files) return NoDrive(destination);
        return files->WriteFileFrom(source, attributes, lastWrite, destination, beforePlacing);
    }
    Status WriteAttributesOfSingleFile(const QString& path, int attributes) override {
        FileSystem* files = For(path);
        return files ? files->WriteAttributesOfSingleFile(path, attributes) : NoDrive(path);
    }
    Status DeleteFile(const QString& path) override {
        FileSystem* files = For(path);
        return files ? files->DeleteFile(path) : NoDrive(path);
    }
    Status DeleteMatching(const QString& pattern) override {
        FileSystem* files = For(pattern);
        return files ? files->DeleteMatching(pattern) : NoDrive(pattern);
    }
    Status CreateFolder(const QString& path) override {
        FileSystem* files = For(path);
        return files ? files->CreateFolder(path) : NoDrive(path);
    }
    Status RemoveEmptyFolder(const QString& path) override {
        FileSystem* files = For(path);
        return files ? files->RemoveEmptyFolder(path) : NoDrive(path);
    }
    Result<std::unique_ptr<HeldFolder>> HoldFolder(const QString& path) override {
        FileSystem* files = For(path);
        if (!files) return NoDrive(path);
        return files->HoldFolder(path);
    }
    Status RestrictToOwner(const QString& path) override {
        FileSystem* files = For(path);
        return files ? files->RestrictToOwner(path) : NoDrive(path);
    }
    Status CheckPrivateFolder(const QString& path) override {
        FileSystem* files = For(path);
        return files ? files->CheckPrivateFolder(path) : NoDrive(path);
    }
    Result<std::vector<FolderEntry>> ListFolder(const QString& pattern, int mask) override {
        FileSystem* files = For(pattern);
        if (!files) return NoDrive(pattern);
        return files->ListFolder(pattern, mask);
    }
    Result<std::unique_ptr<FileReader>> OpenForReading(const QString& path) override {
        FileSystem* files = For(path);
        if (!files) return NoDrive(path);
        return files->OpenForReading(path);
    }
    Result<FileFacts> ReadFileFacts(const QString& path) override {
        FileSystem* files = For(path);
        if (!files) return NoDrive(path);
        return files->ReadFileFacts(path);
    }
    Result<std::vector<FileSize>> ListFileSizes(const QString& pattern, int mask) override {
        FileSystem* files = For(pattern);
        if (!files) return NoDrive(pattern);
        return files->ListFileSizes(pattern, mask);
    }
    Result<QString> ShortAlias(const QString& path) override {
        FileSystem* files = For(path);
        if (!files) return NoDrive(path);
        return files->ShortAlias(path);
    }
    QString CurrentDrive() override { return QString(m_current) + u':'; }
    Status ChangeDrive(QChar letter) override {
        const QChar upper = letter.toUpper();
        FileSystem* files = Serving(upper);
        if (!files) return NoDrive(QString(upper) + u':');
        // The implementation keeps the drive's current folder, and takes relative paths of the
        // drive from now on; it must know that the drive is current.
        TRY(files->ChangeDrive(upper));
        m_current = upper;
        return Status::Ok();
    }
    QString CurrentFolder() override {
        FileSystem* files = Serving(m_current);
        return files ? files->CurrentFolder() : CurrentDrive() + u'\\';
    }
    Status WriteTextFile(const QString& path, const std::vector<QString>& lines) override {
        FileSystem* files = For(path);
        return files ? files->WriteTextFile(path, lines) : NoDrive(path);
    }
    Status FlushToDisk(const QString& path) override {
        FileSystem* files = For(path);
        return files ? files->FlushToDisk(path) : NoDrive(path);
    }
    Result<DriveSpace> FreeSpace(const QString& path) override {
        FileSystem* files = For(path);
        return files ? files->FreeSpace(path) : Result<DriveSpace>(NoDrive(path));
    }
    Result<bool> IsLink(const QString& path) override {
        FileSystem* files = For(path);
        return files ? files->IsLink(path) : Result<bool>(NoDrive(path));
    }

private:
    static bool IsDriveLetter(QChar character) {
        const char16_t unit = character.unicode();
        return (unit >= u'A' && unit <= u'Z') || (unit >= u'a' && unit <= u'z');
    }

    // The drive a path names, as a DOS path is read: "X:..." names X:, anything else the current
    // drive.
    QChar LetterOf(const QString& path) const {
        if (path.size() >= 2 && path.at(1) == u':' && IsDriveLetter(path.at(0)))
            return path.at(0).toUpper();
        return m_current;
    }

    FileSystem* Serving(QChar letter) const {
        for (const DrivePart& part : m_parts)
            if (part.letters.contains(letter)) return part.files.get();
        return nullptr;
    }
    FileSystem* For(const QString& path) const { return Serving(LetterOf(path)); }

    // A copy between drives of two implementations: the source read through its own, written
    // through the destination's with the source's last-write time (and its attributes when
    // keepAttributes; otherwise as a copy gets them there). A source that changes while it is
    // copied (its size or last-write time) fails the copy before it is put in place.
    static Status CopyAcross(FileSystem& from, FileSystem& to, const QString& source,
                             const QString& destination, bool keepAttributes) {
        const FileFacts facts = TRY(from.ReadFileFacts(source));
        const std::unique_ptr<FileReader> opened = TRY(from.OpenForReading(source));
        FileReader& reader = *opened;
        const auto unchanged = [&]() -> Status {
            const FileFacts after = TRY(from.ReadFileFacts(source));
            if (reader.Size() != facts.size || after.size != facts.size ||
                after.lastWrite != facts.lastWrite)
                return Status::Fail(source +
                                    QStringLiteral(": the file changed while it was copied"));
            return Status::Ok();
        };
        return to.WriteFileFrom(
            reader, keepAttributes ? std::optional<int>(facts.attributes) : std::nullopt,
            facts.lastWrite, destination, unchanged);
    }

    Status NoDrive(const QString& path) const {
        return Status::Fail(path + QStringLiteral(": The drive is not configured"));
    }

    std::vector<DrivePart> m_parts;
    QChar m_current;
};

}  // namespace

std::unique_ptr<FileSystem> MakeDriveDispatch(std::vector<DrivePart> parts, QChar current) {
    return std::make_unique<DriveDispatch>(std::move(parts), current);
}

}  // namespace stowix
