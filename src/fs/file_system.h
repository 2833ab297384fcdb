#pragma once
// The file system as the program's logic sees it: DOS paths on lettered drives, DOS attribute
// bits, Windows' wildcard and name rules. It does not deal with which host folder a drive is,
// or how attributes are stored: that is the implementation's matter (hostfs/).
//
// Each drive is served by one implementation: a host folder by the posix one, a disk image by the
// image engine; the program's file system dispatches each path to its drive's (drives/).
//
// Paths are DOS texts: "C:\WINDOWS\SYSTEM.DAT", a drive-relative "\WINDOWS", or a path relative
// to the current folder of the current drive ("MYDIR", " my comment"). Each path component is
// found without regard to case, and resolution never leaves the drive's folder.

#include "services/result.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace stowix {

// The platform's attribute bits, carried as one whole number.
namespace Attribute {
constexpr int ReadOnly = 1;
constexpr int Hidden = 2;
constexpr int System = 4;
constexpr int Folder = 16;
constexpr int Archive = 32;
// The bits that make a file of a kind a listing shows only when its mask asks for them.
constexpr int KindBits = ReadOnly | Hidden | System;
}  // namespace Attribute

// One entry of a folder listing: the bare name as stored, and what the listing learnt of its
// attributes. The folder bit is always right; the other bits are read only when the mask leaves
// out some kind of file, so that the common listing of every file costs no attribute reads.
// Callers that need a file's attributes read them with ReadAttributes.
struct FolderEntry {
    QString name;
    int attributes = 0;
};

// What the file system tells of one file without reading it.
struct FileFacts {
    qint64 size = 0;      // in bytes
    QDateTime lastWrite;  // in UTC; invalid where the drive keeps no last-write time
    int attributes = 0;
};

// One file of a listing and its size.
struct FileSize {
    QString name;  // the bare name as stored
    qint64 size = 0;
};

// The room left on a drive. A file takes room in whole units (a FAT cluster, a block of the host's
// file system), so a file of one byte takes one unit.
struct DriveSpace {
    qint64 freeBytes = 0;  // what this program may still write there
    qint64 unitBytes = 1;  // the unit of room, at least 1
};

// One copy of a group copy: a file, and the full path its copy goes to.
struct FileCopy {
    QString source;
    QString destination;
};

// A file opened for reading in pieces, for files too large to hold whole (a registry, an image's
// file). It reads the file as it is on disk at each call; Size is fixed when it is opened.
class FileReader {
public:
    virtual ~FileReader() = default;
    virtual qint64 Size() const = 0;  // in bytes, as when opened
    // Reads up to `size` bytes at `offset` into `buffer`; gives the count read, 0 at the end.
    virtual Result<qint64> ReadAt(qint64 offset, char* buffer, qint64 size) = 0;
};

// A folder held open while a walk removes what it holds: each entry is named relative to the
// folder that was found when it was taken, so that a rename, or a link put in the folder's place
// while the walk runs, can never lead it to another folder.
class HeldFolder {
public:
    virtual ~HeldFolder() = default;
    // Every entry but "." and "..": files with their attribute bits, folders with the folder bit.
    virtual Result<std::vector<FolderEntry>> List() = 0;
    // Deletes one file (never a folder) of the folder whatever its attributes; a link goes
    // itself, never what it names.
    virtual Status DeleteFile(const QString& name) = 0;
    // Removes the folder itself when it is empty and its name still names it.
    virtual Status Remove() = 0;
};

class FileSystem {
public:
    virtual ~FileSystem() = default;

    // The attribute value of a file or folder (folders carry Attribute::Folder).
    virtual Result<int> ReadAttributes(const QString& path) = 0;
    // Gives a file or folder exactly this attribute value (the folder bit is ignored). Fails with
    // a clear reason where the host can store the value only in part; never drops a bit silently.
    virtual Status WriteAttributes(const QString& path, int attributes) = 0;

    // Copies contents and last-write time; the destination keeps the source's attribute value
    // only as far as the caller then writes it. The destination is replaced atomically: a copy
    // that fails leaves the old destination as it was and no temporary file behind.
    virtual Status CopyFile(const QString& source, const QString& destination) = 0;
    // Replaces destination with a copy of source that carries the source's exact attribute value
    // and last-write time. As with CopyFile, a copy that fails leaves the old destination as it
    // was, attributes included; one that is a folder is refused. Gives false, having done
    // nothing, when the source does not exist; one whose attributes cannot be read for another
    // reason (a link that leads out of its drive) fails. This default is
    // built on the calls above; an implementation may do it in fewer steps.
    virtual Result<bool> CopyFileKeepingAttributes(const QString& source,
                                                   const QString& destination);
    // The copies in order, each as CopyFileKeepingAttributes makes it, with one result per copy;
    // every copy is tried whatever the others gave. beforeEach(i) runs right before copies[i] is
    // made (for a source that turns out missing too). An implementation may open a folder that
    // several copies share once for all of them.
    virtual std::vector<Result<bool>> CopyFilesKeepingAttributes(
        const std::vector<FileCopy>& copies, const std::function<void(size_t)>& beforeEach);

    // Creates or replaces destination with the source.Size() bytes that source reads, this
    // attribute value (unset: what CopyFile gives a copy) and this last-write time (as near as
    // the drive keeps times; now when it is invalid): the copy of a file from a drive kept in
    // another way. beforePlacing, when given, runs once the last byte is read, before the file
    // is put in place, and a failure it gives is the call's. As with CopyFile, the file is put in
    // place in one step with its attributes: a write that fails leaves the old destination as it
    // was and no temporary file behind; a folder or a read-only file in the way is refused. This
    // default refuses every write; the drives' own implementations make it.
    virtual Status WriteFileFrom(FileReader& source, std::optional<int> attributes,
                                 const QDateTime& lastWrite, const QString& destination,
                                 const std::function<Status()>& beforePlacing);

    // Deletes one file. A read-only file is refused, as on Windows.
    virtual Status DeleteFile(const QString& path) = 0;
    // Deletes every file (never a folder) that matches a wildcard pattern such as
    // "C:\STOWIX\*.Da?". Fails when a matching file cannot be deleted; the others are still tried.
    virtual Status DeleteMatching(const QString& pattern) = 0;

    // As WriteAttributes, but a file that the host knows by more than one name (a hard link) is
    // refused, not changed: the change would reach every other name too. A drive that cannot
    // hold such links does as WriteAttributes.
    virtual Status WriteAttributesOfSingleFile(const QString& path, int attributes) {
        return WriteAttributes(path, attributes);
    }

    // Creates one folder under an existing parent; fails when it exists already, when the parent
    // is missing, or when Windows would refuse the name (reserved characters, device names).
    virtual Status CreateFolder(const QString& path) = 0;
    // Removes an empty folder.
    virtual Status RemoveEmptyFolder(const QString& path) = 0;
    // Holds an existing folder for a walk that removes its entries. A path with a link in it is
    // refused. This default names each entry by its path again, which serves a drive that cannot
    // hold links; a host folder holds the folder itself.
    virtual Result<std::unique_ptr<HeldFolder>> HoldFolder(const QString& path);
    // Keeps a folder that holds password lists and registries from the host's other users. A host
    // folder becomes readable, writable and searchable by its owner only (host mode 0700); on a
    // drive whose files have no owners of their own (a disk image) the image file's permissions
    // govern, and this only checks that the folder exists. Leaves DOS attributes as they are.
    virtual Status RestrictToOwner(const QString& path) = 0;
    // Fails, naming the owner and the mode, when a host folder is a link, belongs to another
    // user, or lets others than its owner write in it: such a folder is not trusted with
    // password lists and registries. On a drive whose files have no owners of their own (a disk
    // image) this only checks that the folder exists and is no link.
    virtual Status CheckPrivateFolder(const QString& path);

    // Lists the entries of one folder that match a wildcard pattern ("C:\WINDOWS\*.Ini"), in the
    // host's own order. Plain files are always listed; read-only, hidden and system files only
    // when those bits are in the mask; folders, with the "." and ".." entries, only when the
    // folder bit is in the mask. A folder that does not exist gives an empty list.
    virtual Result<std::vector<FolderEntry>> ListFolder(const QString& pattern, int mask) = 0;

    // The current drive as a letter and colon ("C:").
    virtual QString CurrentDrive() = 0;
    // Makes a drive current; fails for a drive that is not configured.
    virtual Status ChangeDrive(QChar letter) = 0;
    // The current folder of the current drive as a full path ("C:\" or "C:\WINDOWS").
    virtual QString CurrentFolder() = 0;

    // Creates or replaces a text file holding these lines in the ANSI code page (Windows-1252),
    // each ended by CR LF. Replaces atomically, as CopyFile does.
    virtual Status WriteTextFile(const QString& path, const std::vector<QString>& lines) = 0;

    // Opens a file (never a folder, device or pipe) for reading; fails for a missing file.
    virtual Result<std::unique_ptr<FileReader>> OpenForReading(const QString& path) = 0;

    // The size, last-write time and attribute value of a file (never a folder); fails for a
    // missing file. This default takes them from ReadAttributes and OpenForReading and knows no
    // last-write time; a drive that keeps one gives it in one look at the file.
    virtual Result<FileFacts> ReadFileFacts(const QString& path);

    // The files (never folders) that ListFolder gives for the pattern and mask, each with its
    // size; a file that cannot be looked at is left out. This default asks ReadFileFacts of each
    // file; a drive may look at each file once and keep what it saw for a copy that follows.
    virtual Result<std::vector<FileSize>> ListFileSizes(const QString& pattern, int mask);

    // Makes every change made on this path's drive durable: file data and folder entries are on
    // the disk when it returns (a host folder's file system is synced; an image's own buffers
    // are written to the image file and that file synced).
    virtual Status FlushToDisk(const QString& path) = 0;

    // The room left on this path's drive, as the next writes would find it. This default knows
    // none and fails; the drives' own implementations answer.
    virtual Result<DriveSpace> FreeSpace(const QString& path);

    // The whole content of a file of at most maxBytes; a larger file fails with a reason that
    // names the limit.
    Result<QByteArray> ReadFile(const QString& path, qint64 maxBytes);

    // A full path ("C:\\My Windows") as real-mode DOS names it, each component by its short
    // name (platform/names/short_name.h): a component that is one already stays as written,
    // another is replaced by the alias that the drive keeps for it ("C:\\MYWIND~1"). Fails,
    // saying why, for a component without one.
    Result<QString> ShortPath(const QString& path);
    // The short name the drive keeps for the entry at path, beside its long one. This default
    // knows none: a host folder keeps no aliases.
    virtual Result<QString> ShortAlias(const QString& path) {
        return Status::Fail(path + QStringLiteral(": the drive keeps no short name for it"));
    }

    // True when the entry at path is itself a symbolic link (which the other calls follow while
    // it stays inside its drive); false for anything else and for a missing entry. Fails when the
    // path's folder cannot be found. A drive that cannot hold links never has one.
    virtual Result<bool> IsLink(const QString& path) {
        (void)path;
        return false;
    }
};

}  // namespace stowix
