#pragma once
// A file system that records every call in the shared EventLog as "FS.<Call>=<arguments>" and
// hands it to an inner file system (a temporary drive's real one), so that a test can check
// where file work falls among the window's steps. Without an inner file system only the drive
// calls answer (drive C: is current); any other call fails the test, which proves that the
// code under test stayed away from the files. The copies that keep attributes are made of the
// recorded calls, so their steps show in the log.

#include "support/event_log.h"
#include "support/refusing_file_system.h"
#include "support/stepwise_file_system.h"

namespace stowix::test {

class RecordingFileSystem : public StepwiseFileSystem {
    RefusingFileSystem m_none;  // the inner file system when none is given; made before use

public:
    // The base only binds m_none here; it is made before any call reaches it.
    RecordingFileSystem(EventLog& log, FileSystem* inner = nullptr)
        : StepwiseFileSystem(inner ? *inner : m_none), m_log(log) {}

    Result<int> ReadAttributes(const QString& path) override {
        if (logReads) m_log.Add("FS.ReadAttributes=" + path);
        return ForwardingFileSystem::ReadAttributes(path);
    }
    Status WriteAttributes(const QString& path, int attributes) override {
        m_log.Add("FS.WriteAttributes=" + path + "," + QString::number(attributes));
        return ForwardingFileSystem::WriteAttributes(path, attributes);
    }
    Status CopyFile(const QString& source, const QString& destination) override {
        m_log.Add("FS.CopyFile=" + source + ">" + destination);
        return ForwardingFileSystem::CopyFile(source, destination);
    }
    Status WriteFileFrom(FileReader& source, std::optional<int> attributes,
                         const QDateTime& lastWrite, const QString& destination,
                         const std::function<Status()>& beforePlacing) override {
        m_log.Add("FS.WriteFileFrom=" + destination);
        return ForwardingFileSystem::WriteFileFrom(source, attributes, lastWrite, destination,
                                                   beforePlacing);
    }
    Status DeleteFile(const QString& path) override {
        m_log.Add("FS.DeleteFile=" + path);
        return ForwardingFileSystem::DeleteFile(path);
    }
    Status DeleteMatching(const QString& pattern) override {
        m_log.Add("FS.DeleteMatching=" + pattern);
        return ForwardingFileSystem::DeleteMatching(pattern);
    }
    Status CreateFolder(const QString& path) override {
        m_log.Add("FS.CreateFolder=" + path);
        return ForwardingFileSystem::CreateFolder(path);
    }
    Status RemoveEmptyFolder(const QString& path) override {
        m_log.Add("FS.RemoveEmptyFolder=" + path);
        return ForwardingFileSystem::RemoveEmptyFolder(path);
    }
    Status RestrictToOwner(const QString& path) override {
        m_log.Add("FS.RestrictToOwner=" + path);
        return ForwardingFileSystem::RestrictToOwner(path);
    }
    Result<std::vector<FolderEntry>> ListFolder(const QString& pattern, int mask) override {
        m_log.Add("FS.ListFolder=" + pattern + "," + QString::number(mask));
        return ForwardingFileSystem::ListFolder(pattern, mask);
    }
    Status ChangeDrive(QChar letter) override {
        m_log.Add("FS.ChangeDrive=" + QString(letter));
        return ForwardingFileSystem::ChangeDrive(letter);
    }
    Status WriteTextFile(const QString& path, const std::vector<QString>& lines) override {
        m_log.Add("FS.WriteTextFile=" + path);
        return ForwardingFileSystem::WriteTextFile(path, lines);
    }
    Result<std::unique_ptr<FileReader>> OpenForReading(const QString& path) override {
        m_log.Add("FS.OpenForReading=" + path);
        return ForwardingFileSystem::OpenForReading(path);
    }
    Result<FileFacts> ReadFileFacts(const QString& path) override {
        if (logReads) m_log.Add("FS.ReadFileFacts=" + path);
        return ForwardingFileSystem::ReadFileFacts(path);
    }
    Status FlushToDisk(const QString& path) override {
        m_log.Add("FS.FlushToDisk=" + path);
        return ForwardingFileSystem::FlushToDisk(path);
    }

    // Attribute reads are frequent and rarely tell anything about order; off unless asked.
    bool logReads = false;
    // Without an inner file system: the reason ChangeDrive fails with; empty means it succeeds.
    QString& changeDriveFailure = m_none.changeDriveFailure;

private:
    EventLog& m_log;
};

}  // namespace stowix::test
