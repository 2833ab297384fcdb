#pragma once
// A file system with no files, for logic that must stay away from them: drive C: is current and
// ChangeDrive answers (or fails with changeDriveFailure), every other call fails the test and
// gives an error. It does not deal with recording calls (recording_file_system.h does).

#include "fs/file_system.h"

#include <gtest/gtest.h>

namespace stowix::test {

class RefusingFileSystem : public FileSystem {
public:
    Result<int> ReadAttributes(const QString&) override { return Unexpected("ReadAttributes"); }
    Status WriteAttributes(const QString&, int) override { return Unexpected("WriteAttributes"); }
    Status CopyFile(const QString&, const QString&) override { return Unexpected("CopyFile"); }
    Status WriteFileFrom(FileReader&, std::optional<int>, const QDateTime&, const QString&,
                         const std::function<Status()>&) override {
        return Unexpected("WriteFileFrom");
    }
    Status DeleteFile(const QString&) override { return Unexpected("DeleteFile"); }
    Status DeleteMatching(const QString&) override { return Unexpected("DeleteMatching"); }
    Status CreateFolder(const QString&) override { return Unexpected("CreateFolder"); }
    Status RemoveEmptyFolder(const QString&) override { return Unexpected("RemoveEmptyFolder"); }
    Status RestrictToOwner(const QString&) override { return Unexpected("RestrictToOwner"); }
    Result<std::vector<FolderEntry>> ListFolder(const QString&, int) override {
        return Unexpected("ListFolder");
    }
    QString CurrentDrive() override { return QString(m_drive) + ":"; }
    Status ChangeDrive(QChar letter) override {
        if (!changeDriveFailure.isEmpty()) return Status::Fail(changeDriveFailure);
        m_drive = letter;
        return Status::Ok();
    }
    QString CurrentFolder() override { return QString(m_drive) + ":\\"; }
    Status WriteTextFile(const QString&, const std::vector<QString>&) override {
        return Unexpected("WriteTextFile");
    }
    Result<std::unique_ptr<FileReader>> OpenForReading(const QString&) override {
        return Unexpected("OpenForReading");
    }
    Result<FileFacts> ReadFileFacts(const QString&) override { return Unexpected("ReadFileFacts"); }
    Status FlushToDisk(const QString&) override { return Unexpected("FlushToDisk"); }

    // The reason ChangeDrive fails with; empty means it succeeds.
    QString changeDriveFailure;

private:
    static Status Unexpected(const char* call) {
        ADD_FAILURE() << "unexpected file system call: " << call;
        return Status::Fail("no file system in this test");
    }

    QChar m_drive = 'C';
};

}  // namespace stowix::test
