// The plain ways of the copies that keep attributes, built on the single calls of FileSystem.

#include "fs/file_system.h"

namespace stowix {

Result<bool> FileSystem::CopyFileKeepingAttributes(const QString& source,
                                                   const QString& destination) {
    if (source.isEmpty() || !ReadAttributes(source).ok()) return false;

    // The destination is not deleted before the copy: the copy replaces it in one step, so a
    // copy that fails (disk full, unreadable source) leaves the old file where it was. A restore
    // that fails half-way must not leave Windows without its SYSTEM.INI. Clearing the old file's
    // attributes first lets the copy replace a read-only, hidden or system file.
    const Result<int> oldAttributes = ReadAttributes(destination);
    if (oldAttributes) {
        if (oldAttributes.value() & Attribute::Folder)
            return Status::Fail(destination + QStringLiteral(" is a folder"));
        if (const Result<int> current = ReadAttributes(destination); !current)
            return current.status();
        if (Status cleared = WriteAttributes(destination, 0); !cleared) return cleared;
    }

    if (Status copied = CopyFile(source, destination); !copied) {
        if (oldAttributes) (void)WriteAttributes(destination, oldAttributes.value());
        return copied;
    }

    const Result<int> sourceAttributes = ReadAttributes(source);
    if (!sourceAttributes) return sourceAttributes.status();
    if (const Result<int> current = ReadAttributes(destination); !current) return current.status();
    if (Status written = WriteAttributes(destination, sourceAttributes.value()); !written)
        return written;
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
