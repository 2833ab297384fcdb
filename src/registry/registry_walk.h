#pragma once
// Walks every key and value of a Windows 9x registry file, with libcreg: counts
// them, writes them to a stream (registry_stream.h) when asked, and says in plain words why the
// file is damaged where it is. A key that leads back to one
// already walked (a key that is its own ancestor) is damage, found by the set of keys walked.
//
// Some damage makes libcreg itself loop or allocate without end (a run of sibling keys that
// closes on itself), so this runs only where a time and a memory limit can end it: in the child
// process of registry_check.h, which ends when the walk has answered: the walk leaves libcreg's
// file open for that end. It does not deal with processes or limits itself.

#include "fs/file_system.h"
#include "registry/registry_stream.h"

#include <QByteArray>
#include <QString>

#include <functional>

namespace stowix {

enum class SendItems { No, Yes };

struct WalkOutcome {
    QString damage;  // empty when every key and value was read
    qint64 keys = 0;
    qint64 values = 0;
};

// Writes the items (when asked) to the writer, and calls flush with it now and then to pass on
// what it holds so far. The final record ("sound" or "damaged") is the caller's to write.
WalkOutcome WalkRegistry(FileReader& file, const QString& rootName, SendItems sendItems,
                         RegistryStreamWriter& writer,
                         const std::function<void(RegistryStreamWriter&)>& flush);

}  // namespace stowix
