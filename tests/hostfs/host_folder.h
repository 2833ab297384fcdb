#pragma once
// A fresh host folder for one test under /var/tmp (ext4 here, with user extended attributes),
// removed with everything in it afterwards, and host-side helpers that take names as bytes, so a
// test controls exactly what is stored and sees exactly what the platform stored. It does not go
// through the file system under test.

#include "services/result.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <optional>
#include <string>
#include <vector>

namespace stowix::test {

class HostFolder {
public:
    HostFolder();
    ~HostFolder();
    HostFolder(const HostFolder&) = delete;
    HostFolder& operator=(const HostFolder&) = delete;

    const std::string& Path() const { return m_path; }
    std::string Join(const std::string& relative) const { return m_path + '/' + relative; }

    void MakeFolder(const std::string& relative) const;
    void MakeFile(const std::string& relative, const std::string& contents = "x") const;
    void MakeLink(const std::string& relative, const std::string& target) const;
    void SetExtendedAttribute(const std::string& relative, const std::string& value) const;

    bool Exists(const std::string& relative) const;
    std::string Contents(const std::string& relative) const;
    // The raw user.DOSATTRIB value, or nothing when there is none.
    std::optional<std::string> DosAttribute(const std::string& relative) const;
    mode_t Permissions(const std::string& relative) const;
    struct stat Stat(const std::string& relative) const;
    // Every name in the folder, sorted, without "." and "..".
    std::vector<std::string> Names(const std::string& relative = ".") const;

private:
    std::string m_path;
};

inline ::testing::AssertionResult Succeeded(const Status& status) {
    if (status) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << status.reason().toStdString();
}

template <typename T>
::testing::AssertionResult Succeeded(const Result<T>& result) {
    return Succeeded(result.status());
}

// While it lives, no file this process writes may grow beyond `bytes` (RLIMIT_FSIZE), and the
// signal the limit raises is ignored, so that a write past it fails with EFBIG as on a full disk.
// Ok() tells whether the limit could be set.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        if (::getrlimit(RLIMIT_FSIZE, &m_saved) != 0) return;
        struct sigaction ignore {};
        ignore.sa_handler = SIG_IGN;
        ::sigaction(SIGXFSZ, &ignore, &m_previous);
        struct rlimit limited = m_saved;
        limited.rlim_cur = bytes;
        m_set = ::setrlimit(RLIMIT_FSIZE, &limited) == 0;
    }
    ~FileSizeLimit() {
        ::setrlimit(RLIMIT_FSIZE, &m_saved);
        ::sigaction(SIGXFSZ, &m_previous, nullptr);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

    bool Ok() const { return m_set; }

private:
    struct rlimit m_saved {};
    struct sigaction m_previous {};
    bool m_set = false;
};

}  // namespace stowix::test
