#pragma once
// What a listing with sizes saw of the plain files of a folder, kept for the copy that follows
// (the room count of a backup looks at every file a moment before the backup copies it), so that
// the copy need not look at each source again before it reads it. A copy that takes a file's
// look from here compares it with the file it read once the contents are copied (Compare). Each
// look is taken once, and the memory is bounded.
// It does not open or list folders: callers hand in what they saw.

#include <sys/stat.h>

#include <optional>
#include <string>
#include <unordered_map>

namespace stowix::posix {

class SeenFiles {
public:
    // folder: the stat of the folder the file lies in; name: the stored host name; info: the
    // file's own stat (a plain file, never a link).
    void Remember(const struct stat& folder, const std::string& name, const struct stat& info);
    // The look remembered for that file, which is forgotten here; nothing when there is none.
    std::optional<struct stat> Take(const struct stat& folder, const std::string& name);

    // How the file copied, looked at after the copy (now), stands to the look seen before it was
    // opened.
    enum class Since {
        Unchanged,
        // Another entry, or no plain file, now has the name; or the same file with the same size
        // and last-write time was given other permissions or attributes, or rewritten with its
        // time put back: the copy's careful way looks at it afresh.
        Replaced,
        // The same file with another size or last-write time: it was written to during the run,
        // after the listing looked at it and before its copy was complete, so the copy may be no
        // version of it; the copy fails as one written to while it is copied does.
        Written,
    };
    static Since Compare(const struct stat& seen, const struct stat& now);

private:
    // Enough for a Windows folder of tens of thousands of files, at most about 13 MB (a look
    // takes about 200 bytes); files beyond it are looked at again by their copies.
    static constexpr size_t Capacity = 1 << 16;

    struct Key {
        dev_t device;
        ino_t folder;
        std::string name;
        bool operator==(const Key&) const = default;
    };
    struct KeyHash {
        size_t operator()(const Key& key) const;
    };

    std::unordered_map<Key, struct stat, KeyHash> m_seen;
};

}  // namespace stowix::posix
