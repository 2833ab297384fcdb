#include "gui/qt_system.h"

#include "sets/stamp_forms.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDate>
#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QThread>
#include <QTime>

#include <unistd.h>
#include <cstdio>
#include <iostream>

namespace stowix {

namespace {

// How long a lock may name no owner while the copy that made it is still writing its process id
// into it. Creating the file and writing the id are two calls in a row, so a moment is plenty.
constexpr unsigned long OwnerWriteGraceMs = 200;

}  // namespace

QtSystem::QtSystem() : QtSystem(DefaultLockFilePath()) {}

QtSystem::QtSystem(QString lockFilePath) : m_lockFilePath(std::move(lockFilePath)) {}

QtSystem::~QtSystem() = default;

QString QtSystem::DefaultLockFilePath() {
    // A copy started by cron has no XDG_RUNTIME_DIR, yet must find the lock of the copy on the
    // desktop: while the user has a session, both use /run/user/<uid>.
    const QString lockName = QStringLiteral("/stowix.lock");
    const QString session = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!session.isEmpty() && QFileInfo(session).isDir()) return session + lockName;
    const QString user = QStringLiteral("/run/user/%1").arg(::getuid());
    if (QFileInfo(user).isDir()) return user + lockName;
    return QDir::tempPath() + QStringLiteral("/stowix-%1.lock").arg(::getuid());
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
    if (qobject_cast<QApplication*>(QCoreApplication::instance())) QApplication::beep();
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
