// The system services: the per-user lock behind the previous-instance
// query, the date and time texts in the user's locale, and ending at once.

#include "app/qt_system.h"

#include "media/media_test_support.h"

#include <QDir>
#include <QFile>
#include <QLockFile>
#include <QRegularExpression>
#include <QSysInfo>
#include <QTemporaryDir>

#include <gmock/gmock.h>

#include <unistd.h>
#include <cstdlib>

namespace stowix::test {
namespace {

class QtSystemLock : public testing::Test {
protected:
    QString LockPath() const { return folder.filePath("stowix.lock"); }
    QTemporaryDir folder;
};

TEST_F(QtSystemLock, the_first_copy_takes_the_lock_and_a_second_sees_it) {
    QtSystem first(LockPath());
    EXPECT_FALSE(first.PreviousInstance());
    EXPECT_FALSE(first.PreviousInstance()) << "asking again is not another copy";
    QtSystem second(LockPath());
    EXPECT_TRUE(second.PreviousInstance());
}

TEST_F(QtSystemLock, a_lock_held_by_anyone_else_counts_and_its_release_frees_the_way) {
    auto holder = std::make_unique<QLockFile>(LockPath());
    ASSERT_TRUE(holder->tryLock(0));
    EXPECT_TRUE(QtSystem(LockPath()).PreviousInstance());
    holder.reset();
    EXPECT_FALSE(QtSystem(LockPath()).PreviousInstance());
}

TEST_F(QtSystemLock, a_lock_left_by_a_copy_that_died_is_recovered) {
    // A process number above the system's highest cannot belong to a running process.
    QFile pidMax("/proc/sys/kernel/pid_max");
    ASSERT_TRUE(pidMax.open(QIODevice::ReadOnly));
    const qint64 deadPid = pidMax.readAll().trimmed().toLongLong() + 1;
    QFile lock(LockPath());
    ASSERT_TRUE(lock.open(QIODevice::WriteOnly));
    lock.write(QByteArray::number(deadPid) + "\nstowix\n" + QSysInfo::machineHostName().toUtf8() +
               "\n");
    lock.close();

    QtSystem system(LockPath());
    EXPECT_FALSE(system.PreviousInstance());
    EXPECT_TRUE(QtSystem(LockPath()).PreviousInstance()) << "the lock is now ours";
}

TEST_F(QtSystemLock, a_lock_that_cannot_be_made_does_not_keep_the_user_out) {
    QtSystem system(folder.filePath("no/such/folder/stowix.lock"));
    EXPECT_FALSE(system.PreviousInstance());
}

TEST_F(QtSystemLock, end_now_releases_the_lock_and_runs_no_further_handler) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const QString path = LockPath();
    EXPECT_EXIT(
        {
            std::atexit([] { std::fputs("a handler ran\n", stderr); });
            QtSystem system(path);
            if (system.PreviousInstance()) std::fputs("no lock\n", stderr);
            system.EndNow(3);
        },
        testing::ExitedWithCode(3), testing::Not(testing::HasSubstr("ran")));
    EXPECT_FALSE(QFile::exists(path));
}

TEST(QtSystemLockPath, is_the_same_for_a_desktop_session_and_a_cron_job) {
    const QByteArray saved = qgetenv("XDG_RUNTIME_DIR");
    QTemporaryDir session;
    qputenv("XDG_RUNTIME_DIR", session.path().toUtf8());
    EXPECT_EQ(QtSystem::DefaultLockFilePath(), session.filePath("stowix.lock"));

    // Without a session folder in the environment, as under cron: the user's runtime folder
    // when the user has one, else a per-user name in the temporary folder.
    qunsetenv("XDG_RUNTIME_DIR");
    const QString user = QString("/run/user/%1").arg(::getuid());
    const QString expected =
        QFileInfo(user).isDir()
            ? QString(user + "/stowix.lock")
            : QString(QDir::tempPath() + QString("/stowix-%1.lock").arg(::getuid()));
    EXPECT_EQ(QtSystem::DefaultLockFilePath(), expected);
    if (!saved.isNull()) qputenv("XDG_RUNTIME_DIR", saved);
}

// Each drive has a lock of its own beside the default one, also in the temporary folder that
// every user shares: a window on one machine's drive never stops a backup of another's.
TEST(QtSystemLockPath, is_the_drives_own) {
    const QByteArray saved = qgetenv("XDG_RUNTIME_DIR");
    QTemporaryDir session;
    qputenv("XDG_RUNTIME_DIR", session.path().toUtf8());
    const QString first = QtSystem::DefaultLockFilePath("/srv/win98/drive_c");
    const QString second = QtSystem::DefaultLockFilePath("/srv/vms/win95.qcow2");
    EXPECT_TRUE(first.startsWith(session.path() + "/stowix-") && first.endsWith(".lock"));
    EXPECT_NE(first, second);
    EXPECT_EQ(first, QtSystem::DefaultLockFilePath("/srv/win98/drive_c"));
    EXPECT_EQ(QtSystem::DefaultLockFilePath(""), session.filePath("stowix.lock"));

    qunsetenv("XDG_RUNTIME_DIR");
    if (!QFileInfo(QString("/run/user/%1").arg(::getuid())).isDir()) {
        const QString shared = QtSystem::DefaultLockFilePath("/srv/win98/drive_c");
        EXPECT_TRUE(shared.startsWith(QDir::tempPath() + QString("/stowix-%1-").arg(::getuid())));
        EXPECT_NE(shared, QtSystem::DefaultLockFilePath("/srv/vms/win95.qcow2"));
    }
    if (!saved.isNull()) qputenv("XDG_RUNTIME_DIR", saved);
}

class QtSystemTexts : public testing::Test {
protected:
    void TearDown() override { QLocale::setDefault(QLocale::system()); }
};

TEST_F(QtSystemTexts, follow_the_locale_with_seconds_and_no_time_zone) {
    struct Case {
        const char* locale;
        const char* date;
        const char* time;
    };
    // Some locale data puts a narrow no-break space before AM and PM.
    const Case cases[] = {
        {"en_US", R"(^\d{1,2}/\d{1,2}/\d{2}$)", R"(^\d{1,2}:\d{2}:\d{2}[ \x{202F}](AM|PM)$)"},
        {"de_DE", R"(^\d{2}\.\d{2}\.\d{2}$)", R"(^\d{2}:\d{2}:\d{2}$)"},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.locale);
        QLocale::setDefault(QLocale(test.locale));
        QtSystem system{QString()};
        const QString date = system.DateText();
        const QString time = system.TimeText();
        EXPECT_TRUE(QRegularExpression(test.date).match(date).hasMatch()) << date.toStdString();
        EXPECT_TRUE(QRegularExpression(test.time).match(time).hasMatch()) << time.toStdString();
    }
}

TEST_F(QtSystemTexts, every_locale_s_time_form_keeps_seconds_and_drops_the_zone) {
    const QList<QLocale> locales =
        QLocale::matchingLocales(QLocale::AnyLanguage, QLocale::AnyScript, QLocale::AnyTerritory);
    ASSERT_GT(locales.size(), 100);
    for (const QLocale& locale : locales) {
        const QString format = QtSystem::TimeFormatWithSeconds(locale);
        SCOPED_TRACE(locale.name().toStdString() + " " + format.toStdString());
        // Pattern letters outside quotes only.
        QString letters;
        bool quoted = false;
        for (QChar c : format) {
            if (c == '\'')
                quoted = !quoted;
            else if (!quoted)
                letters += c;
        }
        EXPECT_TRUE(letters.contains('s'));
        EXPECT_FALSE(letters.contains('t'));
        EXPECT_EQ(format, format.trimmed());
        EXPECT_FALSE(letters.contains("()"));
    }
}

}  // namespace
}  // namespace stowix::test
