#pragma once
// This type checks a Windows 9x registry file: it walks every key and value
// (registry_walk.h) in a child process that has a memory limit and a time limit, so that no
// damage can hang, exhaust or crash the program. A loop in the key tree, endless allocation, a
// walk that runs out of time and a crash of the reader are all damage, told in plain words.
// The child reads the file through a FileReader opened before it starts, so that neither
// process holds the whole file. It does not deal with where the file comes from
// (registry_file_check.h opens it through the file system) nor with what the program does
// about damage.

#include "fs/file_system.h"
#include "registry/registry_item.h"
#include "registry/registry_walk.h"

#include <QByteArray>
#include <QString>

#include <chrono>

#include <sys/types.h>

namespace stowix {

struct RegistryCheckLimits {
    std::chrono::milliseconds time{0};
    qint64 memoryBytes = 0;  // address space the child may take beyond what it has at the start
};

// Generous for a sound file of this size on a busy machine: a minute and 4 s per MiB, 256 MiB
// and twice the file of memory.
RegistryCheckLimits DefaultRegistryCheckLimits(qint64 fileBytes);

enum class RegistryVerdict {
    Sound,
    Damaged,
    NotChecked,  // the check itself could not run (no process could be started)
};

struct RegistryCheck {
    RegistryVerdict verdict = RegistryVerdict::NotChecked;
    QString reason;  // why it is damaged or was not checked; "it has no root key ..."
    qint64 keys = 0;
    qint64 values = 0;
    RegistryItems items;  // every key and value when asked for and sound
};

// A check under way: its reader runs in its child process while the program goes on (to start
// the check of another file). Finish waits for the answer; the time limit counts from there, so
// that a reader whose answer waits for Finish is not ended for it. A check dropped unfinished
// ends its reader.
class PendingRegistryCheck {
public:
    explicit PendingRegistryCheck(RegistryCheck decided);  // known without a reader
    PendingRegistryCheck(pid_t pid, int answer, const RegistryCheckLimits& limits);
    PendingRegistryCheck(PendingRegistryCheck&& other) noexcept;
    PendingRegistryCheck& operator=(PendingRegistryCheck&&) = delete;
    ~PendingRegistryCheck();

    RegistryCheck Finish();

private:
    RegistryCheck m_decided;
    pid_t m_pid = -1;   // the reader, while it runs
    int m_answer = -1;  // the pipe its answer comes through
    RegistryCheckLimits m_limits;
};

PendingRegistryCheck StartRegistryCheck(FileReader& file, const QString& rootName,
                                        SendItems sendItems, const RegistryCheckLimits& limits);
RegistryCheck CheckRegistry(FileReader& file, const QString& rootName, SendItems sendItems,
                            const RegistryCheckLimits& limits);
// The same for a file held in memory.
RegistryCheck CheckRegistryData(const QByteArray& file, const QString& rootName,
                                SendItems sendItems, const RegistryCheckLimits& limits);

}  // namespace stowix
