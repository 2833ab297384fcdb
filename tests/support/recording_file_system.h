#pragma once
// A file system that records every call in the shared EventLog as "FS.<Call>=<arguments>" and
// hands it to an inner file system (a temporary drive's real one), so that a test can check
// where file work falls among the window's steps. Without an inner file system only the drive
// calls answer (drive C: is current); any other call fails the test, which proves that the
// code under test stayed away from the files.

#include "platform/file_system.h"
#include "support/event_log.h"

#include <gtest/gtest.h>

namespace stowix::test {

class RecordingFileSystem : public FileSystem {
public:
    RecordingFileSystem(EventLog& log, FileSystem* inner = nullptr) : m_log(log), m_inner(inner) {}

    Result<int> ReadAttributes(const QString& path) override {
        if (logReads) m_log.Add("FS.ReadAttributes=" + path);
        if (!m_inner) return Unexpected("ReadAttributes");
        return m_inner->ReadAttributes(path);
    }
    Status WriteAttributes(const QString& path, int attributes) override {
        m_log.Add("FS.WriteAttributes=" + path + "," + QString::number(attributes));
        if (!m_inner) return Unexpected("WriteAttributes");
        return m_inner->WriteAttributes(path, attributes);
    }
    Status CopyFile(const QString& source, const QString& destination) override {
        m_log.Add("FS.CopyFile=" + source + ">" + destination);
        if (!m_inner) return Unexpected("CopyFile");
        return m_inner->CopyFile(source, destination);
    }
    Status DeleteFile(const QString& path) override {
        m_log.Add("FS.DeleteFile=" + path);
        if (!m_inner) return Unexpected("DeleteFile");
        return m_inner->DeleteFile(path);
    }
    Status DeleteMatching(const QString& pattern) override {
        m_log.Add("FS.DeleteMatching=" + pattern);
        if (!m_inner) return Unexpected("DeleteMatching");
        return m_inner->DeleteMatching(pattern);
    }
    Status CreateFolder(const QString& path) override {
        m_log.Add("FS.CreateFolder=" + path);
        if (!m_inner) return Unexpected("CreateFolder");
        return m_inner->CreateFolder(path);
    }
    Status RemoveEmptyFolder(const QString& path) override {
        m_log.Add("FS.RemoveEmptyFolder=" + path);
        if (!m_inner) return Unexpected("RemoveEmptyFolder");
        return m_inner->RemoveEmptyFolder(path);
    }
    Status RestrictToOwner(const QString& path) override {
        m_log.Add("FS.RestrictToOwner=" + path);
        if (!m_inner) return Unexpected("RestrictToOwner");
        return m_inner->RestrictToOwner(path);
    }
    Result<std::vector<FolderEntry>> ListFolder(const QString& pattern, int mask) override {
        m_log.Add("FS.ListFolder=" + pattern + "," + QString::number(mask));
        if (!m_inner) return Unexpected("ListFolder");
        return m_inner->ListFolder(pattern, mask);
    }
    QString CurrentDrive() override {
        if (!m_inner) return QString(m_drive) + ":";
        return m_inner->CurrentDrive();
    }
    Status ChangeDrive(QChar letter) override {
        m_log.Add("FS.ChangeDrive=" + QString(letter));
        if (m_inner) return m_inner->ChangeDrive(letter);
        if (!changeDriveFailure.isEmpty()) return Status::Fail(changeDriveFailure);
        m_drive = letter;
        return Status::Ok();
    }
    QString CurrentFolder() override {
        if (!m_inner) return QString(m_drive) + ":\\";
        return m_inner->CurrentFolder();
    }
    Status WriteTextFile(const QString& path, const std::vector<QString>& lines) override {
        m_log.Add("FS.WriteTextFile=" + path);
        if (!m_inner) return Unexpected("WriteTextFile");
        return m_inner->WriteTextFile(path, lines);
    }
    Result<std::unique_ptr<FileReader>> OpenForReading(const QString& path) override {
        m_log.Add("FS.OpenForReading=" + path);
        if (!m_inner) return Unexpected("OpenForReading");
        return m_inner->OpenForReading(path);
    }
    Status FlushToDisk(const QString& path) override {
        m_log.Add("FS.FlushToDisk=" + path);
        if (!m_inner) return Unexpected("FlushToDisk");
        return m_inner->FlushToDisk(path);
    }
    Result<bool> IsLink(const QString& path) override {
        if (!m_inner) return false;
        return m_inner->IsLink(path);
    }

    // Attribute reads are frequent and rarely tell anything about order; off unless asked.
    bool logReads = false;
    // Without an inner file system: the reason ChangeDrive fails with; empty means it succeeds.
    QString changeDriveFailure;

private:
    static Status Unexpected(const char* call) {
        ADD_FAILURE() << "unexpected file system call: " << call;
        return Status::Fail("no file system in this test");
    }

    EventLog& m_log;
    FileSystem* m_inner;  // non-owning, may be null
    QChar m_drive = 'C';
};

}  // namespace stowix::test
