// The message boxes and the input box: what the user sees and what each way of answering gives,
// and the unattended mode that answers by itself and leaves the text on standard error.

#include "gui/qt_dialogs.h"

#include "media/media_test_support.h"

#include <QAbstractButton>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include <functional>

namespace stowix::test {
namespace {

TEST(QtDialogsText, carriage_returns_become_line_breaks) {
    struct Case {
        const char* text;
        const char* shown;
    };
    const Case cases[] = {
        {"one\rtwo", "one\ntwo"},
        {"one\r\ntwo", "one\ntwo"},
        {"one\r\rtwo\r", "one\n\ntwo\n"},
        {"no break", "no break"},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.text);
        EXPECT_EQ(QtDialogs::DisplayText(test.text), test.shown);
    }
}

TEST(QtDialogsUnattended, prints_each_message_and_answers_ok_or_no) {
    QtDialogs dialogs(DialogMode::Unattended);
    testing::internal::CaptureStderr();
    const MessageAnswer ok =
        dialogs.MessageBox("Backup done\r[C:\\Stowix\\11-5-99]", MessageButtons::Ok,
                           MessageIcon::Information, "Stowix");
    const MessageAnswer question =
        dialogs.MessageBox("Restore it?", MessageButtons::YesNo, MessageIcon::Question, "Confirm");
    const QString input = dialogs.InputBox("Comment:", "Add comment");
    const std::string printed = testing::internal::GetCapturedStderr();
    EXPECT_EQ(ok, MessageAnswer::Ok);
    EXPECT_EQ(question, MessageAnswer::No);
    EXPECT_EQ(input, "");
    EXPECT_EQ(printed, "Stowix: Backup done\n[C:\\Stowix\\11-5-99]\nConfirm: Restore it?\n");
}

// Shows the dialogs on the offscreen platform and answers each, as a user would, from a timer.
class QtDialogsShown : public testing::Test {
protected:
    void SetUp() override { EnsureApplication(); }

    // Runs answer on the next modal dialog once it is up.
    static void WhenShown(std::function<void(QWidget*)> answer) {
        QTimer::singleShot(0, [answer] {
            QWidget* modal = QApplication::activeModalWidget();
            if (!modal) {
                WhenShown(answer);
                return;
            }
            answer(modal);
        });
    }

    QtDialogs dialogs{DialogMode::Interactive};
};

TEST_F(QtDialogsShown, a_question_defaults_to_yes_and_closing_it_answers_no) {
    QString shownText;
    bool yesIsDefault = false;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    WhenShown([&](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        ASSERT_NE(box, nullptr);
        shownText = box->text();
        icon = box->icon();
        yesIsDefault = box->defaultButton() == box->button(QMessageBox::Yes) &&
                       box->defaultButton() != nullptr;
        box->close();
    });
    EXPECT_EQ(dialogs.MessageBox("Restore?\r<C:\\Stowix>", MessageButtons::YesNo,
                                 MessageIcon::Question, "Confirm"),
              MessageAnswer::No);
    EXPECT_EQ(shownText, "Restore?\n<C:\\Stowix>");
    EXPECT_EQ(icon, QMessageBox::Question);
    EXPECT_TRUE(yesIsDefault);

    WhenShown([](QWidget* modal) {
        static_cast<QMessageBox*>(modal)->button(QMessageBox::Yes)->click();
    });
    EXPECT_EQ(
        dialogs.MessageBox("Restore?", MessageButtons::YesNo, MessageIcon::Question, "Confirm"),
        MessageAnswer::Yes);
}

TEST_F(QtDialogsShown, details_wait_behind_show_details_and_only_when_given) {
    QString details = "not looked at";
    QString text;
    WhenShown([&](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        ASSERT_NE(box, nullptr);
        details = box->detailedText();
        text = box->text();
        box->button(QMessageBox::Yes)->click();
    });
    EXPECT_EQ(dialogs.MessageBox("Restore?", MessageButtons::YesNo, MessageIcon::Question,
                                 "Confirm", "C:\\WINDOWS\\WIN.INI: replaced\r    [Desktop] a: - 1"),
              MessageAnswer::Yes);
    EXPECT_EQ(text, "Restore?");
    EXPECT_EQ(details, "C:\\WINDOWS\\WIN.INI: replaced\n    [Desktop] a: - 1");

    WhenShown([&](QWidget* modal) {
        details = static_cast<QMessageBox*>(modal)->detailedText();
        static_cast<QMessageBox*>(modal)->button(QMessageBox::No)->click();
    });
    EXPECT_EQ(
        dialogs.MessageBox("Restore?", MessageButtons::YesNo, MessageIcon::Question, "Confirm"),
        MessageAnswer::No);
    EXPECT_EQ(details, "");
}

TEST_F(QtDialogsShown, an_information_box_has_only_ok) {
    int buttons = 0;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    WhenShown([&](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        ASSERT_NE(box, nullptr);
        buttons = int(box->buttons().size());
        icon = box->icon();
        box->close();
    });
    EXPECT_EQ(dialogs.MessageBox("Done", MessageButtons::Ok, MessageIcon::Information, "Stowix"),
              MessageAnswer::Ok);
    EXPECT_EQ(buttons, 1);
    EXPECT_EQ(icon, QMessageBox::Information);
}

TEST_F(QtDialogsShown, the_input_box_starts_empty_and_cancel_gives_an_empty_text) {
    QString startText = "not looked at";
    WhenShown([&](QWidget* modal) {
        auto* dialog = qobject_cast<QInputDialog*>(modal);
        ASSERT_NE(dialog, nullptr);
        startText = dialog->textValue();
        dialog->setTextValue("typed, then cancelled");
        dialog->reject();
    });
    EXPECT_EQ(dialogs.InputBox("Comment:", "Add comment"), "");
    EXPECT_EQ(startText, "");

    WhenShown([](QWidget* modal) {
        auto* dialog = static_cast<QInputDialog*>(modal);
        dialog->setTextValue(" my comment ");
        dialog->accept();
    });
    EXPECT_EQ(dialogs.InputBox("Comment:", "Add comment"), " my comment ");
}

}  // namespace
}  // namespace stowix::test
