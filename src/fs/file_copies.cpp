// The plain ways of the copies that keep attributes, built on the single calls of FileSystem.

#include "fs/file_system.h"

namespace stowix {

Result<bool> FileSystem::CopyFileKeepingAttributes(const QString& source,
                                                   const QString& destination) {
    if (source.isEmpty()) return false;
    // A source that is gone is no failure; one that is there but cannot be read (a link that
    // leads out of the drive, a folder that may not be searched) is.
    if (const Result<int> found = ReadAttributes(source); !found) {
        if (found.notFound()) return false;
        return found.status();
    }

    // The destination is not deleted before the copy: the copy replaces it in one step, so a
    // copy that fails (disk full, unreadable source) leaves the old file where it was. A restore
    // that fails half-way must not leave Windows without its SYSTEM.INI. Clearing the old file's
    // attributes first lets the copy replace a read-only, hidden or system file.
    const Result<int> oldAttributes = ReadAttributes(destination);
    if (oldAttributes) {
        if (oldAttributes.value() & Attribute::Folder)
            return Status::Fail(destination + QStringLiteral(" is a folder"));
        TRY(ReadAttributes(destination));
        TRY(WriteAttributes(destination, 0));
    }

    if (Status copied = CopyFile(source, destination); !copied) {
        if (oldAttributes) (void)WriteAttributes(destination, oldAttributes.value());
        return copied;
    }

    const int sourceAttributes = TRY(ReadAttributes(source));
    TRY(ReadAttributes(destination));
    TRY(WriteAttributes(destination, sourceAttributes));
    return true;
}

std::vector<Result<bool>> FileSystem::CopyFilesKeepingAttributes(
    const std::vector<FileCopy>& copies, const std::function<void(size_t)>& beforeEach) {
    std::vector<Result<bool>> results;
    results.reserve(copies.size());
    for (size_t i = 0; i < copies.size(); ++i) {
        if (beforeEach) beforeEach(i);
        results.push_back(CopyFileKeepingAttributes(copies[i].source, copies[i].destination));
    }
    return results;
}

}  // namespace stowix
