#include "info/add_comment.h"

#include "backup/backup_run.h"
#include "info/comment_fixture.h"
#include "info/info_boxes.h"

namespace stowix::test {
namespace {

const QString Prompt = "Please add a comment that describes this backup.";
const QString RejectionText =
    "Your comment becomes part of the backup's Windows filename and, as such, cannot contain "
    "so-called ''reserved characters.''  Examples of reserved filename characters are slashes, "
    "backslashes, colins, plus signs, and so on.\r\r"
    "Please re-enter your comment without using ''reserved'' characters.";
const QString Emoji = QString::fromUtf8("\xF0\x9F\x98\x80");  // one character, two UTF-16 units

using AddCommentTest = CommentFixture;

TEST_F(AddCommentTest, cancel_adds_no_comment_and_drops_a_pending_one) {
    window.PendingComment = " before upgrade";
    Answer({""});

    AddComment(window);

    EXPECT_EQ(window.PendingComment, "");
    EXPECT_EQ(log.entries,
              QStringList({"StatusBar1.Text=Adding comment ...", "InputBox=Add Comment",
                           "StatusBar1.Text=No comment added"}));
    EXPECT_EQ(dialogs.prompts, std::vector<QString>{Prompt});
    EXPECT_TRUE(files.Calls().isEmpty()) << files.Describe().toStdString();
}

// An accepted comment is the answer's first 32 units behind one blank, exactly as typed; the
// status shows it without blanks at its ends. The trial folder is created and removed again.
TEST_F(AddCommentTest, accepted_answers) {
    const struct {
        QString answer;
        QString pending;
        QString status;
    } cases[] = {
        {"before upgrade", " before upgrade", "Comment [before upgrade] added"},
        {"  new drivers", "   new drivers", "Comment [new drivers] added"},
        // 40 units: the first 32 stay.
        {"abcdefghijABCDEFGHIJabcdefghijABCDEFGHIJ", " abcdefghijABCDEFGHIJabcdefghijAB",
         "Comment [abcdefghijABCDEFGHIJabcdefghijAB] added"},
        // A character of two units at units 32 and 33 is left out whole, not halved.
        {QString(31, 'a') + Emoji + "b", " " + QString(31, 'a'),
         "Comment [" + QString(31, 'a') + "] added"},
        // One at units 31 and 32 fits.
        {QString(30, 'a') + Emoji + "bc", " " + QString(30, 'a') + Emoji,
         "Comment [" + QString(30, 'a') + Emoji + "] added"},
        {"CONTENTS", " CONTENTS", "Comment [CONTENTS] added"},
        {"v1.0 final", " v1.0 final", "Comment [v1.0 final] added"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.answer.toStdString());
        const qsizetype callsBefore = files.Calls().size();
        dialogs.messages.clear();
        Answer({c.answer});

        AddComment(window);

        EXPECT_EQ(window.PendingComment, c.pending);
        EXPECT_EQ(Status(), c.status);
        EXPECT_TRUE(dialogs.messages.empty());
        EXPECT_EQ(files.Calls().mid(callsBefore),
                  QStringList({"CreateFolder " + c.pending, "RemoveEmptyFolder " + c.pending}));
        EXPECT_EQ(RootNames(), QStringList());
    }
}

// Each of these is refused: by the file system as a folder name, or as a set name Windows cannot
// hold (one that ends in a dot or a blank, a device's name). The user is told, asked again with
// the same box, and cancelling there leaves no comment.
TEST_F(AddCommentTest, refused_names_are_rejected_until_cancel) {
    const QString answers[] = {"a/b",
                               "a\\b",
                               "a:b",
                               "why?",
                               "one|two",
                               "tab\there",
                               "CON",
                               "nul.txt",
                               "  LPT1",
                               "v1.0...",
                               ".",
                               "..",
                               "  ",
                               "trailing blank ",
                               "0123456789012345678901234567890 and more"};
    for (const QString& answer : answers) {
        SCOPED_TRACE(answer.toStdString());
        log.Clear();
        dialogs.messages.clear();
        dialogs.prompts.clear();
        window.PendingComment = " earlier";
        Answer({answer, ""});

        AddComment(window);

        ASSERT_EQ(dialogs.messages.size(), 1u);
        EXPECT_EQ(dialogs.messages[0].text, RejectionText);
        EXPECT_EQ(dialogs.messages[0].buttons, MessageButtons::Ok);
        EXPECT_EQ(dialogs.messages[0].icon, MessageIcon::None);
        EXPECT_EQ(dialogs.messages[0].title, "DOS Lives!");
        EXPECT_EQ(dialogs.prompts, std::vector<QString>({Prompt, Prompt}));
        EXPECT_EQ(log.entries,
                  QStringList({"StatusBar1.Text=Adding comment ...", "InputBox=Add Comment",
                               "MessageBox=DOS Lives!", "InputBox=Add Comment",
                               "StatusBar1.Text=No comment added"}));
        EXPECT_EQ(window.PendingComment, "");
        EXPECT_EQ(RootNames(), QStringList());
    }
}

TEST_F(AddCommentTest, a_rejected_answer_can_be_followed_by_an_accepted_one) {
    Answer({"old: drivers", "before upgrade"});

    AddComment(window);

    EXPECT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.prompts.size(), 2u);
    EXPECT_EQ(window.PendingComment, " before upgrade");
    EXPECT_EQ(Status(), "Comment [before upgrade] added");
    EXPECT_EQ(RootNames(), QStringList());
}

// An entry named like the trial folder makes the creation fail: the comment is rejected and
// the entry is never removed, even when it is an empty folder that could be.
TEST_F(AddCommentTest, an_existing_entry_of_the_trial_name_is_rejected_and_left_alone) {
    const struct {
        QString existing;
        bool folder;
        QString answer;
    } cases[] = {
        {" taken", true, "taken"},
        {" TAKEN", true, "taken"},  // names are found without regard to case
        {" notes", false, "notes"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.existing.toStdString());
        TempDrive local;
        FaultyFileSystem localFiles{local.Files()};
        MainWindow localWindow{form, Services{localFiles, settings, system, dialogs, windows},
                               values};
        if (c.folder)
            local.AddFolder("C:\\" + c.existing);
        else
            local.AddFile("C:\\" + c.existing, "kept");
        dialogs.messages.clear();
        Answer({c.answer, ""});

        AddComment(localWindow);

        EXPECT_EQ(dialogs.messages.size(), 1u);
        EXPECT_EQ(form.statusBar1.Text(), "No comment added");
        EXPECT_TRUE(localFiles.CallsStartingWith("RemoveEmptyFolder").isEmpty())
            << localFiles.Describe().toStdString();
        EXPECT_EQ(local.HostNames("C:\\"), QStringList{c.existing});
        if (!c.folder) {
            EXPECT_EQ(local.HostBytes("C:\\" + c.existing), "kept");
        }
    }
}

// A separator would make the trial a folder inside another one. Where the current folder holds
// a folder named like the part before the separator, that trial would succeed, yet no backup set
// could carry the name; the comment is rejected and the folder stays as it was.
TEST_F(AddCommentTest, a_separator_is_rejected_even_where_its_first_part_exists) {
    drive.AddFolder("C:\\ drivers");
    Answer({"drivers\\old", "drivers/old", ""});

    AddComment(window);

    EXPECT_EQ(dialogs.messages.size(), 2u);
    EXPECT_EQ(Status(), "No comment added");
    EXPECT_EQ(RootNames(), QStringList{" drivers"});
    EXPECT_EQ(drive.HostNames("C:\\ drivers"), QStringList());
}

TEST_F(AddCommentTest, a_trial_folder_that_cannot_be_removed_rejects_the_comment) {
    files.Fail(FsOperation::RemoveEmptyFolder, "*", "Permission denied", 1);
    Answer({"stubborn", ""});

    AddComment(window);

    EXPECT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(window.PendingComment, "");
    EXPECT_EQ(Status(), "No comment added");
}

// Only the last comment counts, and only for the one backup that follows; the information box
// then shows that set's full path, comment included.
TEST_F(AddCommentTest, the_second_of_two_comments_names_the_next_backup_only) {
    Answer({"first", "second"});
    AddComment(window);
    AddComment(window);
    EXPECT_EQ(window.PendingComment, " second");
    EXPECT_EQ(RootNames(), QStringList());

    // A registry file, without which a backup is incomplete and names nothing; its contents are
    // no matter here.
    drive.AddFile("C:\\WINDOWS\\USER.DAT", "registry");

    BackupRun(window, window.services(), window.values()).Run();
    const QString commented = "C:\\Stowix\\11-5-99 3;45;12 PM second";
    EXPECT_EQ(window.PendingComment, "");
    EXPECT_TRUE(InfoText(settings, system).startsWith("Last Backup:\t" + commented + "\r"));

    system.timeText = "3:46:01 PM";
    BackupRun(window, window.services(), window.values()).Run();
    EXPECT_EQ(drive.HostNames("C:\\Stowix"),
              QStringList({"11-5-99 3;45;12 PM second", "11-5-99 3;46;01 PM"}));
}

}  // namespace
}  // namespace stowix::test
