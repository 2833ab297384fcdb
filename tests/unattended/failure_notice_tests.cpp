// The daily backup's runner (stowix-unattended) as its service runs it: a failed run is told in
// the journal always, and in a notification on a session bus that the test runs
// (dbus-run-session) with a stand-in for the desktop's notification service; a try that fails
// the same way is not told again, a complete run is not told and makes the next failure news,
// and a complete backup is followed by the prune of STOWIX_PRUNE.

#include "support/program_world.h"
#include "unattended/run_options.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QStandardPaths>

namespace stowix::test {
namespace {

class FailureNotice : public ::testing::Test {
protected:
    QProcessEnvironment Environment() const {
        QProcessEnvironment environment = world.Environment();
        environment.insert("STOWIX_DRIVE_C", drive);
        environment.insert("STOWIX_BACKUP_NAME", "win98-games");
        environment.insert("XDG_STATE_HOME", world.Root() + "/state");
        environment.remove("DBUS_SESSION_BUS_ADDRESS");
        return environment;
    }

    ProgramWorld world;
    const QString drive = world.Root() + "/games";
};

TEST_F(FailureNotice, a_failed_run_is_told_once_on_the_desktop_and_a_complete_one_not_at_all) {
    // Tries as the service's restarts make them: the disk is missing twice, then attached, then
    // missing again.
    const QString script =
        "run() { \"$1\"; echo \"status $?\"; }\n"
        "run \"$1\"; run \"$1\"\n"
        "\"$2\" \"$3\" > /dev/null && run \"$1\"\n"
        "rm -r \"$3\" && run \"$1\"\n";
    const QString busSession = QStandardPaths::findExecutable("dbus-run-session");
    ASSERT_FALSE(busSession.isEmpty()) << "dbus-run-session is not installed";
    const RunResult session = world.Run(
        busSession, Options({"--", ProgramWorld::ProgramPath("notification_listener"), "sh", "-c",
                             script, "sh", ProgramWorld::ProgramPath("stowix-unattended"),
                             ProgramWorld::ProgramPath("stowix-make-drive"), drive},
                            Environment()));
    ASSERT_TRUE(session.Ended(0)) << session.Describe();
    const QStringList lines = session.output.split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 6) << session.Describe();
    const QString notice =
        "notice: Stowix: Stowix backup \"win98-games\" failed | Drive C: " + drive +
        " / Status 2: ";
    EXPECT_TRUE(lines[0].startsWith(notice)) << session.Describe();
    EXPECT_EQ(lines[0].count(" / "), 2) << "no first problem: " << session.Describe();
    EXPECT_EQ(lines.mid(1, 3), QStringList({"status 2", "status 2", "status 0"}));
    EXPECT_TRUE(lines[4].startsWith(notice)) << session.Describe();
    EXPECT_EQ(lines[5], "status 2");
    // The journal has every failed try.
    EXPECT_EQ(session.errors.count("stowix-unattended: the backup \"win98-games\" of drive C: " +
                                   drive + " ended with status 2"),
              3)
        << session.Describe();
}

// Markup in the drive's path would be shown as the desktop's own (a link): the body is escaped
// for a service that reads markup. A newline or an escape sequence in the backup's name would
// forge a journal line or drive the terminal: the journal line escapes them.
TEST_F(FailureNotice, markup_and_control_characters_reach_neither_the_notice_nor_the_journal) {
    const QString markedDrive = world.Root() + "/<a href=\"https:evil.example\">Repair & go<";
    QProcessEnvironment environment = Environment();
    environment.insert("STOWIX_DRIVE_C", markedDrive);
    environment.insert("STOWIX_BACKUP_NAME", "games\nstowix-unattended: all is well\x1b[2J");
    const QString busSession = QStandardPaths::findExecutable("dbus-run-session");
    ASSERT_FALSE(busSession.isEmpty()) << "dbus-run-session is not installed";
    const RunResult session =
        world.Run(busSession, Options({"--", ProgramWorld::ProgramPath("notification_listener"),
                                       ProgramWorld::ProgramPath("stowix-unattended")},
                                      environment));
    EXPECT_TRUE(session.Ended(2)) << session.Describe();
    EXPECT_TRUE(
        session.output.contains("&lt;a href=&quot;https:evil.example&quot;&gt;Repair "
                                "&amp; go&lt;"))
        << session.Describe();
    EXPECT_FALSE(session.output.contains("<a href")) << session.Describe();
    const QStringList journal = session.errors.split('\n', Qt::SkipEmptyParts);
    EXPECT_FALSE(session.errors.contains('\x1b')) << session.Describe();
    for (const QString& line : journal)
        EXPECT_FALSE(line.startsWith("stowix-unattended: all is well")) << session.Describe();
    EXPECT_TRUE(session.errors.contains("games\\x0Astowix-unattended: all is well\\x1B[2J"))
        << session.Describe();
}

TEST_F(FailureNotice, without_a_session_bus_the_journal_still_tells) {
    const RunResult run = world.Run("stowix-unattended", Options({}, Environment()));
    EXPECT_TRUE(run.Ended(2)) << run.Describe();
    EXPECT_TRUE(run.errors.contains("ended with status 2")) << run.Describe();
    EXPECT_TRUE(run.errors.contains("no notification shown")) << run.Describe();
}

TEST_F(FailureNotice, a_complete_backup_is_followed_by_the_prune) {
    const RunResult made = world.Run("stowix-make-drive", Options({drive}));
    ASSERT_TRUE(made.Ended(0)) << made.Describe();
    // An old set of the unattended backup, made before sets had records: its registry makes it
    // one.
    ASSERT_TRUE(QDir().mkpath(drive + "/Stowix/2 Jan 2020 03;00;00"));
    QFile registry(drive + "/Stowix/2 Jan 2020 03;00;00/SYSTEM.DAT");
    ASSERT_TRUE(registry.open(QIODevice::WriteOnly));
    registry.write("CREG");
    registry.close();
    QProcessEnvironment environment = Environment();
    environment.insert("LC_ALL", "C");
    environment.insert("STOWIX_PRUNE", "--keep-last 1");
    const RunResult run = world.Run("stowix-unattended", Options({}, environment));
    EXPECT_TRUE(run.Ended(0)) << run.Describe();
    EXPECT_EQ(run.errors, "");
    EXPECT_TRUE(run.output.contains("delete C:\\Stowix\\2 Jan 2020 03;00;00\n")) << run.Describe();
    EXPECT_EQ(QDir(drive + "/Stowix").entryList(QDir::Dirs | QDir::NoDotAndDotDot).size(), 1);
}

}  // namespace
}  // namespace stowix::test
