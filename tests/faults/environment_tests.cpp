// The program where its surroundings are missing or odd: no media files beside it, no audio
// device, no display, a very long command line. None may crash it or hold it up; the backup
// must still be made where one is asked for.

#include "fault_fixture.h"

namespace stowix::test {
namespace {

class EnvironmentTest : public FaultTest {
protected:
    void SetUp() override { Start(); }

    // The run made one complete set and recorded it.
    void ExpectOneCompleteSet() {
        const QString made = World().NewSet(setsBefore);
        ASSERT_FALSE(made.isEmpty()) << "no set was made";
        const QStringList problems =
            SetProblems(TakeSnapshot(World().Drive()), made, sources, true);
        EXPECT_TRUE(problems.isEmpty()) << problems.join(u'\n').toStdString();
        EXPECT_EQ(World().Setting(QStringLiteral("Info"), QStringLiteral("LastBackup")),
                  QStringLiteral("C:\\Stowix\\") + made);
    }

    // An interactive backup through the Backup button, then Exit.
    static QStringList BackupAndExit() {
        return {QStringLiteral("click Form1.Command1"), QStringLiteral("click Form1.Command3")};
    }
};

TEST_F(EnvironmentTest, without_its_media_files_the_program_backs_up_unattended) {
    RunOptions options = UnattendedRun();
    options.programFolder =
        World().ProgramFolderWithout({QStringLiteral("Stowix1.Avi"), QStringLiteral("Stowix1.Wav"),
                                      QStringLiteral("Stowix2.Wav")});
    const RunResult result = World().Stowix(options);
    EXPECT_TRUE(result.Ended(0)) << result.Describe();
    ExpectOneCompleteSet();
}

TEST_F(EnvironmentTest, without_its_media_files_the_window_backs_up_and_exits) {
    STOWIX_NEEDS_DISPLAY();
    RunOptions options;
    options.robot = BackupAndExit();
    options.programFolder =
        World().ProgramFolderWithout({QStringLiteral("Stowix1.Avi"), QStringLiteral("Stowix1.Wav"),
                                      QStringLiteral("Stowix2.Wav")});
    const RunResult result = World().Stowix(options);
    EXPECT_TRUE(result.Ended(0)) << result.Describe();
    ExpectOneCompleteSet();
}

// No sound server and no sound card: the sounds are skipped, the closing one is not waited for
// beyond its length, and the backup is made, unattended or through the window.
TEST_F(EnvironmentTest, without_an_audio_device_the_backup_is_made) {
    const bool display = !FaultWorld::Display().isEmpty();
    for (const bool interactive : {false, true}) {
        SCOPED_TRACE(interactive ? "through the window" : "unattended");
        if (interactive && !display) continue;  // the unattended case still ran
        RunOptions options = interactive ? RunOptions() : UnattendedRun();
        if (interactive) options.robot = BackupAndExit();
        options.environment.insert(QStringLiteral("PULSE_SERVER"),
                                   QStringLiteral("unix:/nonexistent/pulse/native"));
        options.environment.insert(QStringLiteral("PIPEWIRE_REMOTE"),
                                   QStringLiteral("/nonexistent/pipewire-0"));
        options.environment.insert(QStringLiteral("ALSA_CONFIG_PATH"),
                                   QStringLiteral("/nonexistent/alsa.conf"));
        const RunResult result = World().Stowix(options);
        EXPECT_TRUE(result.Ended(0)) << result.Describe();
        ExpectOneCompleteSet();
        SetAside();
    }
}

// Cron has no display: "/U" needs none. Without "/U" there is nothing the program can show, and
// it says so instead of failing inside the toolkit.
TEST_F(EnvironmentTest, without_a_display_only_the_unattended_run_goes_on) {
    RunOptions unattended = UnattendedRun();
    unattended.unset = {QStringLiteral("DISPLAY"), QStringLiteral("WAYLAND_DISPLAY"),
                        QStringLiteral("QT_QPA_PLATFORM")};
    const RunResult backedUp = World().Stowix(unattended);
    EXPECT_TRUE(backedUp.Ended(0)) << backedUp.Describe();
    EXPECT_TRUE(backedUp.errors.isEmpty()) << backedUp.Describe();
    ExpectOneCompleteSet();
    SetAside();

    RunOptions interactive;
    interactive.unset = unattended.unset;
    const RunResult refused = World().Stowix(interactive);
    EXPECT_TRUE(refused.Ended(1)) << refused.Describe();
    EXPECT_TRUE(refused.errors.contains(QLatin1String("no display"))) << refused.Describe();
    EXPECT_EQ(World().SetNames(), setsBefore);
}

// A very long command line is read whole, word by word: "/U" counts only as a word of its own,
// and a long word names the drive, which is told and backs nothing up.
TEST_F(EnvironmentTest, a_very_long_command_line_is_read_whole) {
    const QString filler(100'000, u'x');
    QStringList manyWords;
    for (int i = 0; i < 20'000; ++i) manyWords.append(QStringLiteral("word"));
    const struct {
        const char* what;
        QStringList arguments;
        int status;
    } cases[] = {
        {"/U with the drive named", {QStringLiteral("/U"), World().DriveC()}, 0},
        {"/U before one long word", {QStringLiteral("/U"), filler}, 2},
        {"/u at the end of one long word",
         {QStringLiteral("/U"), filler + QStringLiteral("/u")},
         2},
        {"/U after twenty thousand words", manyWords + QStringList{QStringLiteral("/U")}, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        RunOptions options;
        options.arguments = c.arguments;
        const RunResult result = World().Stowix(options);
        EXPECT_TRUE(result.Ended(c.status)) << result.Describe();
        if (c.status == 0) {
            ExpectOneCompleteSet();
            SetAside();
        } else {
            EXPECT_EQ(World().SetNames(), setsBefore);
        }
    }
}

}  // namespace
}  // namespace stowix::test
