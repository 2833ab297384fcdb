#include "registry/registry_check.h"

#include "registry/file_reader_bfio.h"
#include "registry/registry_stream.h"
#include "services/errno_text.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>
#include <utility>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace stowix {

namespace {

constexpr qint64 MiB = 1024 * 1024;
// A sanitizer reserves terabytes of address space up front; there an address space limit would
// only break the sanitizer, and the time limit stands alone.
constexpr qint64 SanitizerAddressSpace = qint64(1) << 40;

// A field of /proc/self/status in bytes ("VmPeak"), or -1.
qint64 StatusBytes(const char* field) {
    std::FILE* status = std::fopen("/proc/self/status", "r");
    if (!status) return -1;
    char line[256];
    qint64 bytes = -1;
    const size_t length = std::strlen(field);
    while (std::fgets(line, sizeof line, status)) {
        if (std::strncmp(line, field, length) == 0 && line[length] == ':') {
            bytes = std::atoll(line + length + 1) * 1024;  // in kB
            break;
        }
    }
    std::fclose(status);
    return bytes;
}

bool WriteAll(int fd, const QByteArray& bytes) {
    const char* at = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t written = ::write(fd, at, size_t(left));
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return false;
        at += written;
        left -= written;
    }
    return true;
}

QString MemoryReason(qint64 limit) {
    return QStringLiteral(
               "reading it needed more than %1 MiB of memory: its key tree is damaged "
               "(a run of keys that loops)")
        .arg(limit / MiB);
}

// The child: limits itself, walks, writes its findings to fd and ends without returning.
[[noreturn]] void RunChild(int fd, FileReader& file, const QString& rootName, SendItems sendItems,
                           const RegistryCheckLimits& limits) {
    const rlimit noCore{0, 0};
    setrlimit(RLIMIT_CORE, &noCore);
    qint64 ceiling = -1;
    const qint64 now = StatusBytes("VmSize");
    if (now > 0 && now < SanitizerAddressSpace) {
        ceiling = now + limits.memoryBytes;
        const rlimit memory{rlim_t(ceiling), rlim_t(ceiling)};
        setrlimit(RLIMIT_AS, &memory);
    }

    RegistryStreamWriter writer;
    bool writable = true;
    const auto flush = [fd, &writable](RegistryStreamWriter& pending) {
        if (writable) writable = WriteAll(fd, pending.Take());
    };
    try {
        const WalkOutcome outcome = WalkRegistry(file, rootName, sendItems, writer, flush);
        if (outcome.damage.isEmpty()) {
            writer.Sound(outcome.keys, outcome.values);
        } else {
            // libcreg answers a failed allocation with an error like any other; the peak of the
            // address space tells that it was the limit that ended the walk.
            const qint64 peak = StatusBytes("VmPeak");
            const bool nearCeiling = ceiling > 0 && peak > ceiling - 16 * MiB;
            writer.Damaged(nearCeiling ? MemoryReason(limits.memoryBytes) : outcome.damage);
        }
    } catch (const std::bad_alloc&) {
        (void)writer.Take();
        writer.Damaged(MemoryReason(limits.memoryBytes));
    }
    flush(writer);
    ::close(fd);
    _exit(writable ? 0 : 3);
}

RegistryCheck NotChecked(const QString& reason) {
    RegistryCheck check;
    check.verdict = RegistryVerdict::NotChecked;
    check.reason = reason;
    return check;
}

RegistryCheck Damaged(const QString& reason) {
    RegistryCheck check;
    check.verdict = RegistryVerdict::Damaged;
    check.reason = reason;
    return check;
}

// Waits for the child, retrying where a signal interrupts.
int WaitFor(pid_t pid) {
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return status;
}

// Reads the reader's answer from fd until the reader closes its end; false when time ran out
// first.
bool ReadAnswer(int fd, std::chrono::milliseconds time, QByteArray& answer) {
    using Clock = std::chrono::steady_clock;
    const Clock::time_point deadline = Clock::now() + time;
    char buffer[65536];
    for (;;) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0) return false;
        pollfd ready{fd, POLLIN, 0};
        const int polled = ::poll(&ready, 1, int(std::min<qint64>(left.count(), 60'000)));
        if (polled < 0 && errno == EINTR) continue;
        if (polled <= 0) continue;
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return true;
        answer.append(buffer, got);
    }
}

// The check from the reader's answer and its exit status.
RegistryCheck Judge(const QByteArray& answer, int status, bool timedOut,
                    const RegistryCheckLimits& limits) {
    if (timedOut)
        return Damaged(QStringLiteral("reading it took longer than %1 s: its key tree is damaged "
                                      "(a run of keys that loops)")
                           .arg(limits.time.count() / 1000.0, 0, 'g', 3));
    if (WIFSIGNALED(status))
        return Damaged(QStringLiteral("the registry reader broke down on it (signal %1, %2)")
                           .arg(WTERMSIG(status))
                           .arg(QString::fromLocal8Bit(strsignal(WTERMSIG(status)))));
    Result<RegistryReport> report = ReadRegistryStream(answer);
    if (!report.ok() || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return Damaged(QStringLiteral("the registry reader ended without a full answer (%1)")
                           .arg(report.ok() ? QStringLiteral("status %1").arg(WEXITSTATUS(status))
                                            : report.reason()));

    RegistryReport found = std::move(report).value();
    RegistryCheck check;
    check.verdict = found.sound ? RegistryVerdict::Sound : RegistryVerdict::Damaged;
    check.reason = found.damage;
    check.keys = found.keys;
    check.values = found.values;
    if (found.sound) check.items = std::move(found.items);
    return check;
}

}  // namespace

RegistryCheckLimits DefaultRegistryCheckLimits(qint64 fileBytes) {
    const qint64 mebibytes = (fileBytes + MiB - 1) / MiB;
    return {std::chrono::milliseconds(60'000 + 4'000 * mebibytes), 256 * MiB + 2 * fileBytes};
}

RegistryCheck CheckRegistryData(const QByteArray& file, const QString& rootName,
                                SendItems sendItems, const RegistryCheckLimits& limits) {
    BytesReader reader(file);
    return CheckRegistry(reader, rootName, sendItems, limits);
}

PendingRegistryCheck::PendingRegistryCheck(RegistryCheck decided) : m_decided(std::move(decided)) {}

PendingRegistryCheck::PendingRegistryCheck(pid_t pid, int answer, const RegistryCheckLimits& limits)
    : m_pid(pid), m_answer(answer), m_limits(limits) {}

PendingRegistryCheck::PendingRegistryCheck(PendingRegistryCheck&& other) noexcept
    : m_decided(std::move(other.m_decided)),
      m_pid(std::exchange(other.m_pid, -1)),
      m_answer(std::exchange(other.m_answer, -1)),
      m_limits(other.m_limits) {}

PendingRegistryCheck::~PendingRegistryCheck() {
    if (m_pid < 0) return;
    ::close(m_answer);
    ::kill(m_pid, SIGKILL);
    WaitFor(m_pid);
}

RegistryCheck PendingRegistryCheck::Finish() {
    if (m_pid < 0) return std::move(m_decided);
    // The reader is killed when its time is up.
    QByteArray answer;
    const bool timedOut = !ReadAnswer(m_answer, m_limits.time, answer);
    ::close(std::exchange(m_answer, -1));
    if (timedOut) ::kill(m_pid, SIGKILL);
    const int status = WaitFor(std::exchange(m_pid, -1));
    return Judge(answer, status, timedOut, m_limits);
}

PendingRegistryCheck StartRegistryCheck(FileReader& file, const QString& rootName,
                                        SendItems sendItems, const RegistryCheckLimits& limits) {
    int pipeEnds[2];
    if (::pipe2(pipeEnds, O_CLOEXEC) != 0)
        return PendingRegistryCheck(
            NotChecked(QStringLiteral("no pipe for the registry reader: ") + ErrnoText(errno)));
    const pid_t pid = ::fork();
    if (pid < 0) {
        const int error = errno;
        ::close(pipeEnds[0]);
        ::close(pipeEnds[1]);
        return PendingRegistryCheck(NotChecked(
            QStringLiteral("the registry reader could not be started: ") + ErrnoText(error)));
    }
    if (pid == 0) {
        ::close(pipeEnds[0]);
        RunChild(pipeEnds[1], file, rootName, sendItems, limits);
    }
    ::close(pipeEnds[1]);
    return PendingRegistryCheck(pid, pipeEnds[0], limits);
}

RegistryCheck CheckRegistry(FileReader& file, const QString& rootName, SendItems sendItems,
                            const RegistryCheckLimits& limits) {
    return StartRegistryCheck(file, rootName, sendItems, limits).Finish();
}

}  // namespace stowix
