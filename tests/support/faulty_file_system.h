#pragma once
// A decorator over any FileSystem that fails chosen calls with a chosen reason, so that tests
// reach the failure paths of the logic against a real file system. A fault matches a call when
// its wildcard pattern matches the call's whole DOS path by the program's own wildcard rules
// (dos/wildcard.h; a backslash is an ordinary character there); it fails every
// matching call, or only the first `times` of them. Every call is recorded, failed or not, so a
// test can prove which calls were made and in which order. The copies that keep attributes are
// made of the recorded calls, so each of their steps can fail.

#include "dos/wildcard.h"
#include "support/stepwise_file_system.h"

#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

namespace stowix::test {

enum class FsOperation {
    ReadAttributes,
    WriteAttributes,
    CopyFrom,  // CopyFile, matched against its source
    CopyTo,    // CopyFile or WriteFileFrom, matched against its destination
    DeleteFile,
    DeleteMatching,
    CreateFolder,
    RemoveEmptyFolder,
    RestrictToOwner,
    ListFolder,
    WriteTextFile,
    FlushToDisk,
    OpenForReading,
    ReadFileFacts,
};

class FaultyFileSystem : public StepwiseFileSystem {
public:
    // Non-owning: inner outlives the decorator.
    explicit FaultyFileSystem(FileSystem& inner) : StepwiseFileSystem(inner) {}

    // Fails the calls of operation whose path matches pattern, with reason as the host's reason;
    // times < 0 fails every such call, otherwise only the next `times` of them.
    void Fail(FsOperation operation, const QString& pattern, const QString& reason,
              int times = -1) {
        m_faults.push_back({operation, pattern, reason, times});
    }
    void FailCopyFrom(const QString& pattern, const QString& reason, int times = -1) {
        Fail(FsOperation::CopyFrom, pattern, reason, times);
    }
    void FailCopyTo(const QString& pattern, const QString& reason, int times = -1) {
        Fail(FsOperation::CopyTo, pattern, reason, times);
    }
    void FailDeleteFile(const QString& pattern, const QString& reason, int times = -1) {
        Fail(FsOperation::DeleteFile, pattern, reason, times);
    }
    void FailCreateFolder(const QString& pattern, const QString& reason, int times = -1) {
        Fail(FsOperation::CreateFolder, pattern, reason, times);
    }
    void FailWriteTextFile(const QString& pattern, const QString& reason, int times = -1) {
        Fail(FsOperation::WriteTextFile, pattern, reason, times);
    }
    void FailFlushToDisk(const QString& reason, int times = -1) {
        Fail(FsOperation::FlushToDisk, QStringLiteral("*"), reason, times);
    }
    void ClearFaults() { m_faults.clear(); }

    // Every call in order, as "Operation path" ("CopyFile C:\A.INI -> C:\Stowix\x\A.INI");
    // a failed call ends with " FAILED".
    const QStringList& Calls() const { return m_calls; }
    // The calls whose text starts with prefix ("CopyFile", "DeleteFile C:\STOWIX").
    QStringList CallsStartingWith(const QString& prefix) const {
        QStringList found;
        for (const QString& call : m_calls)
            if (call.startsWith(prefix)) found.push_back(call);
        return found;
    }
    // The faults still armed and the calls so far, for a failing test's message.
    QString Describe() const {
        QStringList lines;
        for (const Fault& fault : m_faults)
            lines.push_back(QStringLiteral("fault %1 %2 (%3) times=%4")
                                .arg(int(fault.operation))
                                .arg(fault.pattern, fault.reason)
                                .arg(fault.times));
        lines += m_calls;
        return lines.join(u'\n');
    }

    Result<int> ReadAttributes(const QString& path) override {
        if (auto fault = Take(FsOperation::ReadAttributes, path, Call("ReadAttributes", path)))
            return Result<int>::Fail(*fault);
        return ForwardingFileSystem::ReadAttributes(path);
    }
    Status WriteAttributes(const QString& path, int attributes) override {
        const QString call = Call("WriteAttributes", path) + u'=' + QString::number(attributes);
        if (auto fault = Take(FsOperation::WriteAttributes, path, call))
            return Status::Fail(*fault);
        return ForwardingFileSystem::WriteAttributes(path, attributes);
    }
    Status CopyFile(const QString& source, const QString& destination) override {
        const QString call = Call("CopyFile", source) + QStringLiteral(" -> ") + destination;
        if (auto fault = Take(FsOperation::CopyFrom, source, call)) return Status::Fail(*fault);
        if (auto fault = Take(FsOperation::CopyTo, destination, call, false))
            return Status::Fail(*fault);
        return ForwardingFileSystem::CopyFile(source, destination);
    }
    Status DeleteFile(const QString& path) override {
        if (auto fault = Take(FsOperation::DeleteFile, path, Call("DeleteFile", path)))
            return Status::Fail(*fault);
        return ForwardingFileSystem::DeleteFile(path);
    }
    Status DeleteMatching(const QString& pattern) override {
        const QString call = Call("DeleteMatching", pattern);
        if (auto fault = Take(FsOperation::DeleteMatching, pattern, call))
            return Status::Fail(*fault);
        return ForwardingFileSystem::DeleteMatching(pattern);
    }
    Status CreateFolder(const QString& path) override {
        if (auto fault = Take(FsOperation::CreateFolder, path, Call("CreateFolder", path)))
            return Status::Fail(*fault);
        return ForwardingFileSystem::CreateFolder(path);
    }
    Status RemoveEmptyFolder(const QString& path) override {
        const QString call = Call("RemoveEmptyFolder", path);
        if (auto fault = Take(FsOperation::RemoveEmptyFolder, path, call))
            return Status::Fail(*fault);
        return ForwardingFileSystem::RemoveEmptyFolder(path);
    }
    Status RestrictToOwner(const QString& path) override {
        if (auto fault = Take(FsOperation::RestrictToOwner, path, Call("RestrictToOwner", path)))
            return Status::Fail(*fault);
        return ForwardingFileSystem::RestrictToOwner(path);
    }
    Result<std::vector<FolderEntry>> ListFolder(const QString& pattern, int mask) override {
        const QString call = Call("ListFolder", pattern) + u'/' + QString::number(mask);
        if (auto fault = Take(FsOperation::ListFolder, pattern, call))
            return Result<std::vector<FolderEntry>>::Fail(*fault);
        return ForwardingFileSystem::ListFolder(pattern, mask);
    }
    Status ChangeDrive(QChar letter) override {
        m_calls.push_back(Call("ChangeDrive", QString(letter)));
        return ForwardingFileSystem::ChangeDrive(letter);
    }
    Status WriteTextFile(const QString& path, const std::vector<QString>& lines) override {
        if (auto fault = Take(FsOperation::WriteTextFile, path, Call("WriteTextFile", path)))
            return Status::Fail(*fault);
        return ForwardingFileSystem::WriteTextFile(path, lines);
    }
    Result<std::unique_ptr<FileReader>> OpenForReading(const QString& path) override {
        if (auto fault = Take(FsOperation::OpenForReading, path, Call("OpenForReading", path)))
            return Status::Fail(*fault);
        return ForwardingFileSystem::OpenForReading(path);
    }
    Result<FileFacts> ReadFileFacts(const QString& path) override {
        if (auto fault = Take(FsOperation::ReadFileFacts, path, Call("ReadFileFacts", path)))
            return Status::Fail(*fault);
        return ForwardingFileSystem::ReadFileFacts(path);
    }
    Status FlushToDisk(const QString& path) override {
        if (auto fault = Take(FsOperation::FlushToDisk, path, Call("FlushToDisk", path)))
            return Status::Fail(*fault);
        return ForwardingFileSystem::FlushToDisk(path);
    }
    Status WriteFileFrom(FileReader& source, std::optional<int> attributes,
                         const QDateTime& lastWrite, const QString& destination,
                         const std::function<Status()>& beforePlacing) override {
        if (auto fault = Take(FsOperation::CopyTo, destination, Call("WriteFileFrom", destination)))
            return Status::Fail(*fault);
        return ForwardingFileSystem::WriteFileFrom(source, attributes, lastWrite, destination,
                                                   beforePlacing);
    }

private:
    struct Fault {
        FsOperation operation;
        QString pattern;
        QString reason;
        int times;  // < 0: every matching call
    };

    static QString Call(const char* operation, const QString& path) {
        return QLatin1String(operation) + u' ' + path;
    }

    // Records the call (unless record is false: the second check of one call) and hands back
    // the reason of the first armed fault that matches it.
    std::optional<QString> Take(FsOperation operation, const QString& path, const QString& call,
                                bool record = true) {
        if (record) m_calls.push_back(call);
        for (Fault& fault : m_faults) {
            if (fault.operation != operation || fault.times == 0) continue;
            if (!WildcardPattern(fault.pattern).Matches(path)) continue;
            if (fault.times > 0) --fault.times;
            m_calls.back() += QStringLiteral(" FAILED");
            return fault.reason;
        }
        return std::nullopt;
    }

    std::vector<Fault> m_faults;
    QStringList m_calls;
};

}  // namespace stowix::test
