#include "app/qt_system.h"

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

// Splits a Qt date-time format into its unquoted pattern letters and quoted literals, drops
// the time-zone letters ('t') and tidies what they leave behind: blanks at either end, a doubled
// blank, empty brackets.
QString WithoutTimeZone(const QString& format) {
    QString result;
    bool quoted = false;
    for (qsizetype i = 0; i < format.size(); ++i) {
        const QChar c = format.at(i);
        if (c == QLatin1Char('\'')) quoted = !quoted;
        if (!quoted && c == QLatin1Char('t')) continue;
        result.append(c);
    }
    for (const char* empty : {"()", "( )", "[]", "[ ]"}) result.remove(QLatin1String(empty));
    while (result.contains(QLatin1String("  ")))
        result.replace(QLatin1String("  "), QLatin1String(" "));
    return result.trimmed();
}

// How long a lock may name no owner while the copy that made it is still writing its process id
// into it. Creating the file and writing the id are two calls in a row, so a moment is plenty.
constexpr unsigned long OwnerWriteGraceMs = 200;

bool HasUnquoted(const QString& format, QChar letter) {
    bool quoted = false;
    for (QChar c : format) {
        if (c == QLatin1Char('\''))
            quoted = !quoted;
        else if (!quoted && c == letter)
            return true;
    }
    return false;
}

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
    const QString longForm = WithoutTimeZone(locale.timeFormat(QLocale::LongFormat));
    if (HasUnquoted(longForm, QLatin1Char('s'))) return longForm;
    // No locale is known to drop the seconds from its long form; should one, add them to the
    // short form after the minutes.
    QString shortForm = locale.timeFormat(QLocale::ShortFormat);
    const qsizetype minutes = shortForm.indexOf(QLatin1String("mm"));
    if (minutes < 0) return shortForm + QStringLiteral(":ss");
    return shortForm.insert(minutes + 2, QStringLiteral(":ss"));
}

void QtSystem::Beep() {
    if (m_beep) m_beep();
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
