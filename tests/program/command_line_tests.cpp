// The options that every command takes, run as a user types them: --help and --version answer on
// standard output with status 0 and touch nothing; an unknown option is refused with the usage on
// standard error. stowix's own switches are not options: "/U" still makes its backup, and an
// option beside it is answered instead of a backup.

#include "program/program_fixture.h"

#include <QFileInfo>

namespace stowix::test {
namespace {

struct Command {
    QString name;
    int usageStatus;  // the status of a command line the command cannot take
};

// Every installed command, as the build lists them: "name=status,name=status".
std::vector<Command> Commands() {
    std::vector<Command> commands;
    for (const QString& item : QStringLiteral(STOWIX_TEST_COMMANDS).split(',')) {
        const QStringList parts = item.split('=');
        commands.push_back({parts.at(0), parts.at(1).toInt()});
    }
    return commands;
}

using CommandLineTest = ProgramTest;

TEST_F(CommandLineTest, every_command_answers_help_and_version_and_refuses_unknown_options) {
    const std::vector<Command> commands = Commands();
    ASSERT_GE(commands.size(), 3u);
    for (const Command& command : commands) {
        SCOPED_TRACE(command.name.toStdString());
        const std::string name = command.name.toStdString();

        const Outcome help = Run(command.name, {"--help"});
        EXPECT_EQ(help.exitCode, 0);
        EXPECT_TRUE(help.output.startsWith("Usage: " + command.name)) << help.output.toStdString();
        EXPECT_TRUE(help.output.contains("--version") &&
                    help.output.contains("man " + command.name))
            << help.output.toStdString();
        EXPECT_EQ(help.errors.toStdString(), "");

        const Outcome version = Run(command.name, {"--version"});
        EXPECT_EQ(version.exitCode, 0);
        EXPECT_EQ(version.output.toStdString(), name + " " STOWIX_TEST_VERSION "\n");
        EXPECT_EQ(version.errors.toStdString(), "");

        for (const QStringList& arguments :
             {QStringList{"--no-such-option"}, QStringList{"--no-such-option", "--help"}}) {
            SCOPED_TRACE(arguments.join(' ').toStdString());
            const Outcome unknown = Run(command.name, arguments);
            EXPECT_EQ(unknown.exitCode, command.usageStatus);
            EXPECT_EQ(unknown.output.toStdString(), "");
            const QString told = command.name + ": unknown option --no-such-option\n";
            EXPECT_TRUE(unknown.errors.startsWith(told + "Usage: " + command.name))
                << unknown.errors.toStdString();
        }
    }
    EXPECT_FALSE(QFileInfo::exists(HostPath("Stowix"))) << "an option made a backup";
    EXPECT_FALSE(QFileInfo::exists(SettingsFile()));
}

TEST_F(CommandLineTest, help_that_cannot_be_written_is_not_a_success) {
    for (const Command& command : Commands()) {
        SCOPED_TRACE(command.name.toStdString());
        QProcess process;
        process.setProcessEnvironment(environment);
        process.setStandardOutputFile("/dev/full");
        process.start(ProgramPath(command.name), {"--help"});
        ASSERT_TRUE(process.waitForFinished(60000));
        EXPECT_EQ(process.exitCode(), command.usageStatus);
        EXPECT_TRUE(process.readAllStandardError().contains("cannot write to standard output"));
    }
}

TEST_F(CommandLineTest, an_option_beside_the_unattended_switch_is_answered_without_a_backup) {
    struct Case {
        QStringList arguments;
        int status;
        const char* output;  // the start of standard output
    };
    const Case cases[] = {
        {{"/U", "--help"}, 0, "Usage: stowix"},
        {{"--version", "/u"}, 0, "stowix " STOWIX_TEST_VERSION},
        {{"/U", "--unattended"}, 1, ""},
        {{"/I/U", "--user=/U"}, 1, ""},
    };
    for (const Case& start : cases) {
        SCOPED_TRACE(start.arguments.join(' ').toStdString());
        const Outcome outcome = Run("stowix", start.arguments);
        EXPECT_EQ(outcome.exitCode, start.status) << outcome.errors.toStdString();
        EXPECT_EQ(outcome.output.toStdString().rfind(start.output, 0), 0u)
            << outcome.output.toStdString();
        EXPECT_EQ(start.status == 0, outcome.errors.isEmpty()) << outcome.errors.toStdString();
    }
    EXPECT_FALSE(QFileInfo::exists(HostPath("Stowix"))) << "an option made a backup";
    EXPECT_FALSE(QFileInfo::exists(SettingsFile()));

    // After a bare "--" nothing is an option: "--help" is a drive's name like any other word,
    // and the switch still counts.
    const Outcome refused = Run("stowix", {"--", "--help", "/U"});
    EXPECT_EQ(refused.exitCode, 2) << refused.errors.toStdString();
    EXPECT_FALSE(QFileInfo::exists(HostPath("Stowix")));
    const Outcome backup = Run("stowix", {"--", driveRoot, "/U"});
    EXPECT_EQ(backup.exitCode, 0) << backup.errors.toStdString();
    EXPECT_EQ(backup.output.toStdString(), "");
    EXPECT_EQ(FoldersIn("Stowix").size(), 1) << "no backup set was made";
    EXPECT_FALSE(Setting("Info", "LastBackup").isEmpty());
}

}  // namespace
}  // namespace stowix::test
