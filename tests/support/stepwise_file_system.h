#pragma once
// A forwarding file system whose copies that keep attributes (one or a group) are made of its own
// single calls, as FileSystem's defaults make them, instead of going to the inner file system
// whole: a wrapper that records or fails single calls then sees, and can fail, every step of
// them. Every other call goes on to the inner file system (fs/forwarding_file_system.h).

#include "fs/forwarding_file_system.h"

namespace stowix::test {

class StepwiseFileSystem : public ForwardingFileSystem {
public:
    using ForwardingFileSystem::ForwardingFileSystem;

    Result<bool> CopyFileKeepingAttributes(const QString& source,
                                           const QString& destination) override {
        return FileSystem::CopyFileKeepingAttributes(source, destination);
    }
    std::vector<Result<bool>> CopyFilesKeepingAttributes(
        const std::vector<FileCopy>& copies,
        const std::function<void(size_t)>& beforeEach) override {
        return FileSystem::CopyFilesKeepingAttributes(copies, beforeEach);
    }
};

}  // namespace stowix::test
