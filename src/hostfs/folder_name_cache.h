#pragma once
// Remembers the names of the folders most recently scanned, by their upper-cased form, so that
// a lookup of a name that is not there (every new file that a copy makes) costs one stat of the
// folder instead of a read of all its entries; without it, copying n new files into a folder
// reads that folder n times.
//
// A folder's names are trusted only while its modification and change times are the ones seen
// when they were read. Changes that this program makes itself are bracketed by BeforeChange and
// AfterChange, which keep the remembered names in step. A change by another process in the same
// timestamp tick as one of ours could go unseen on file systems whose timestamps are coarse;
// Linux 6.13 and later give a fine-grained time to a change after one was looked at.
// It does not open folders or decide which name wins: callers hand in open descriptors.

#include <QHash>
#include <QString>

#include <sys/stat.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace stowix::posix {

class FolderNameCache {
public:
    // The first stored name in the folder (in the host's order) that equals name without regard
    // to case, or nothing. folderFd: any descriptor of the folder, O_PATH will do.
    std::optional<std::string> Find(int folderFd, QStringView name);
    // As Find, but the name exactly as given (hostName) wins over another case of it, and the
    // folder's stat that the answer holds for comes back in folderInfo, for BeforeChange's part
    // (its st_ino is 0 when the folder could not be looked at: the answer is then nothing).
    // With known, the folder is taken to be in that state (as AfterChange just gave it) and is
    // not looked at again.
    std::optional<std::string> FindPreferring(int folderFd, QStringView name,
                                              std::string_view hostName, struct stat& folderInfo,
                                              const struct stat* known = nullptr);

    // The folder's stat before a change, to be handed to AfterChange.
    static struct stat BeforeChange(int folderFd);
    // Records names this program just added to or removed from the folder. The folder's
    // remembered names are kept only when they were current right before the change; then,
    // when current is given, it receives the folder's stat after the change and true comes back.
    bool AfterChange(int folderFd, const struct stat& before, std::string_view added,
                     std::string_view removed, struct stat* current = nullptr);
    // Records a name this program just added, as AfterChange does, without looking at the
    // folder again: for a batch of copies into one folder, which takes the folder to be changed
    // by its own copies alone from one look (before) to the next. The remembered state stays
    // before, so that the next copy's FindPreferring with known = before holds; the batch ends
    // with AfterChange(folderFd, before, {}, {}), the one look that brings the state up to date.
    // False when the folder's names were not current at before (nothing is then recorded).
    bool AddedUnseen(const struct stat& before, std::string_view added);

private:
    struct Folder {
        dev_t device = 0;
        ino_t inode = 0;
        struct timespec modified {};
        struct timespec changed {};
        // Upper-cased name -> stored names of that form, in the host's order.
        QHash<QString, std::vector<std::string>> names;
    };
    static constexpr size_t Capacity = 4;  // folders remembered at once

    Folder* Current(const struct stat& info);
    Folder& Read(int folderFd, const struct stat& info);
    static void AddName(Folder& folder, std::string_view added);

    std::vector<Folder> m_folders;  // most recently used last
};

}  // namespace stowix::posix
