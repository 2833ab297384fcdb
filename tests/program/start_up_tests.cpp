// What stowix does before any command: it needs a drive C:, and only one copy runs per user.

#include "program/program_fixture.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QThread>

namespace stowix::test {
namespace {

using StartUpTest = ProgramTest;

TEST_F(StartUpTest, without_a_drive_it_says_how_to_configure_one) {
    environment.remove("STOWIX_DRIVE_C");  // and the home holds no ~/.wine
    struct Case {
        QStringList arguments;
        const char* platform;  // empty: no display at all
    };
    const Case cases[] = {{{"/U"}, ""}, {{}, "offscreen"}};
    for (const Case& start : cases) {
        SCOPED_TRACE(start.arguments.join(' ').toStdString() + " on '" + start.platform + "'");
        if (*start.platform) environment.insert("QT_QPA_PLATFORM", start.platform);

        const Outcome outcome = Run("stowix", start.arguments);

        EXPECT_NE(outcome.exitCode, 0);
        EXPECT_EQ(outcome.output.toStdString(), "");
        EXPECT_TRUE(outcome.errors.contains("STOWIX_DRIVE_C") &&
                    outcome.errors.contains("WINEPREFIX"))
            << outcome.errors.toStdString();
        EXPECT_FALSE(QFileInfo::exists(SettingsFile()));
    }
}

TEST_F(StartUpTest, a_second_copy_ends_at_once_and_a_killed_copy_blocks_none) {
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    std::unique_ptr<QProcess> first = Start("stowix");
    // The first copy holds the lock once its start-up has begun.
    // The lock is the drive's own: the one lock file the first copy makes.
    QString lock;
    for (QDeadlineTimer guard(60000); lock.isEmpty() && !guard.hasExpired();) {
        const QStringList locks = QDir(RuntimeFolder()).entryList({"stowix*.lock"}, QDir::Files);
        if (!locks.isEmpty()) lock = RuntimeFolder() + u'/' + locks.first();
        QThread::msleep(20);
    }
    ASSERT_TRUE(QFileInfo::exists(lock)) << "the first copy never started";
    ASSERT_EQ(first->state(), QProcess::Running);

    // Interactively the second copy ends silently; unattended it says so in one line and ends
    // with its own status, so that cron does not take the run for a backup.
    const Outcome second = Run("stowix");
    EXPECT_EQ(second.exitCode, 0);
    EXPECT_EQ(second.output.toStdString(), "");
    EXPECT_EQ(second.errors.toStdString(), "");
    const Outcome unattended = Run("stowix", {"/U"});
    EXPECT_EQ(unattended.exitCode, 5);
    EXPECT_EQ(unattended.output.toStdString(), "");
    EXPECT_TRUE(unattended.errors.endsWith('\n') && unattended.errors.count('\n') == 1 &&
                unattended.errors.contains("another copy of Stowix is running"))
        << unattended.errors.toStdString();
    EXPECT_FALSE(QFileInfo::exists(HostPath("Stowix"))) << "the second copy made a backup";
    EXPECT_FALSE(QFileInfo::exists(SettingsFile()));

    EXPECT_EQ(first->state(), QProcess::Running) << "the second copy ended the first";
    first->kill();
    first->waitForFinished();

    // A copy that was killed leaves its lock behind; the next copy runs all the same.
    ASSERT_TRUE(QFileInfo::exists(lock));
    const Outcome next = Run("stowix", {"/U"});
    EXPECT_EQ(next.exitCode, 0) << next.errors.toStdString();
    EXPECT_FALSE(Setting("Info", "LastBackup").isEmpty());
}

}  // namespace
}  // namespace stowix::test
