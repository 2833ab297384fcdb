#include "app/qt_system.h"

#include "sets/stamp_forms.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QStringList>
#include <QThread>
#include <QTime>

#include <unistd.h>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <vector>

namespace stowix {

namespace {

// How long a lock may name no owner while the copy that made it is still writing its process id
// into it. Creating the file and writing the id are two calls in a row, so a moment is plenty.
constexpr unsigned long OwnerWriteGraceMs = 200;

}  // namespace

QtSystem::QtSystem() : QtSystem(DefaultLockFilePath()) {}

QtSystem::QtSystem(QString lockFilePath) : m_lockFilePath(std::move(lockFilePath)) {}

QtSystem::~QtSystem() = default;

QString QtSystem::DefaultLockFilePath() { return DefaultLockFilePath(QString()); }

QString QtSystem::DefaultLockFilePath(const QString& driveName) {
    // "-<digest>" of the drive's name, or nothing for the default lock.
    const QString drivePart =
        driveName.isEmpty()
            ? QString()
            : u'-' + QString::fromLatin1(
                         QCryptographicHash::hash(driveName.toUtf8(), QCryptographicHash::Sha256)
                             .toHex()
                             .left(16));
    // A copy started by cron has no XDG_RUNTIME_DIR, yet must find the lock of the copy on the
    // desktop: while the user has a session, both use /run/user/<uid>.
    const QString lockName = QStringLiteral("/stowix") + drivePart + QStringLiteral(".lock");
    const QString session = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!session.isEmpty() && QFileInfo(session).isDir()) return session + lockName;
    const QString user = QStringLiteral("/run/user/%1").arg(::getuid());
    if (QFileInfo(user).isDir()) return user + lockName;
    // The temporary folder is shared by every user: the name holds the user's id too.
    return QDir::tempPath() + QStringLiteral("/stowix-%1").arg(::getuid()) + drivePart +
           QStringLiteral(".lock");
}

bool QtSystem::PreviousInstance() {
    if (m_lock) return false;
    auto lock = std::make_unique<QLockFile>(m_lockFilePath);
    // A running copy keeps its lock however long it runs: only a lock whose owner has died is
    // stale, never an old one.
    lock->setStaleLockTime(0);
    if (lock->tryLock(0)) {
        m_lock = std::move(lock);
        return false;
    }
    // A lock that cannot be made at all (no write access to the folder) must not keep the user
    // out of the program: only a lock that another copy holds counts.
    if (lock->error() != QLockFile::LockFailedError) return false;
    // A copy killed between creating the lock and writing its process id into it leaves a lock
    // that names no owner, which Qt can never find stale: every later start would end at once,
    // for good. A running copy names itself at once, so a lock that still names no one a moment
    // later is an orphan and is taken over.
    if (!lock->getLockInfo(nullptr, nullptr, nullptr)) {
        QThread::msleep(OwnerWriteGraceMs);
        if (!lock->getLockInfo(nullptr, nullptr, nullptr) && lock->removeStaleLockFile() &&
            lock->tryLock(0)) {
            m_lock = std::move(lock);
            return false;
        }
    }
    return true;
}

QString QtSystem::ProgramFolder() {
    const QString folder = QCoreApplication::applicationDirPath();
    const QString canonical = QDir(folder).canonicalPath();
    return canonical.isEmpty() ? folder : canonical;
}

QString QtSystem::DateText() {
    return QLocale().toString(QDate::currentDate(), QLocale::ShortFormat);
}

QString QtSystem::TimeText() {
    const QLocale locale;
    return locale.toString(QTime::currentTime(), TimeFormatWithSeconds(locale));
}

QString QtSystem::TimeFormatWithSeconds(const QLocale& locale) {
    return TimeFormWithSeconds(locale);
}

void QtSystem::Beep() {
    if (m_beep) m_beep();
}

void QtSystem::StartAgain(const QStringList& arguments) {
    if (m_beforeEnd) m_beforeEnd();
    m_lock.reset();
    std::fflush(nullptr);
    std::vector<QByteArray> texts{QFile::encodeName(QCoreApplication::applicationFilePath())};
    for (const QString& argument : arguments) texts.push_back(QFile::encodeName(argument));
    std::vector<char*> argv;
    for (QByteArray& text : texts) argv.push_back(text.data());
    argv.push_back(nullptr);
    ::execv(argv.front(), argv.data());
    std::fprintf(stderr, "stowix: cannot start again: %s\n", std::strerror(errno));
    ::_exit(1);
}

void QtSystem::EndNow(int exitStatus) {
    if (m_beforeEnd) m_beforeEnd();
    m_lock.reset();
    std::cout.flush();
    std::cerr.flush();
    std::fflush(nullptr);
    ::_exit(exitStatus);
}

}  // namespace stowix
