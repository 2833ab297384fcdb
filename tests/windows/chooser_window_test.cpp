// The folder chooser as built: its layout and texts, activation on each showing, Done and the
// frame's close button.

#include "gui/chooser_window.h"
#include "gui/status_bar_widget.h"
#include "support/qt_printers.h"
#include "support/window_fixture.h"
#include "windows/folder_tree.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>

namespace stowix {
namespace {

// The folders the chooser lists, made before its window.
struct ChooserFolders {
    test::FolderTree files;
};

class QtChooserWindowTest : protected ChooserFolders, public test::WindowFixture<QtChooserWindow> {
protected:
    QtChooserWindowTest() : WindowFixture(files) {
        files.AddFolder("C:\\Stowix\\11-5-99 3;45;12 PM");
        window.SetEvents({
            .Form_Activate =
                [this] {
                    raised.append("Form_Activate");
                    visibleOnActivate = window.isVisible();
                },
            .Command1_Click = [this] { raised.append("Command1_Click"); },
            .Form_Close = [this] { raised.append("Form_Close"); },
        });
    }

    QStringList raised;
    bool visibleOnActivate = false;
};

TEST_F(QtChooserWindowTest, controls_have_their_designed_places_and_texts) {
    EXPECT_EQ(window.size(), QSize(457, 298));
    EXPECT_EQ(window.minimumSize(), window.maximumSize());
    EXPECT_FALSE(window.windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(window.windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_TRUE(window.windowTitle().isEmpty());

    const struct {
        const char* name;
        QRect pixels;
        QString toolTip;
    } table[] = {
        {"Dir1", {8, 8, 441, 201}, ""},
        {"Command1", {368, 224, 81, 41}, "Click here to return to Stowix's main menu"},
        {"ProgressBar1", {8, 224, 353, 41}, ""},
        {"StatusBar1", {0, 273, 457, 25}, "Status messages are displayed here"},
    };
    for (const auto& row : table) {
        SCOPED_TRACE(row.name);
        QWidget* control = Child(row.name);
        ASSERT_NE(control, nullptr);
        EXPECT_EQ(control->geometry(), row.pixels);
        EXPECT_EQ(control->toolTip(), row.toolTip);
    }
    EXPECT_EQ(Child<QPushButton>("Command1")->text(), "D&one");
    EXPECT_EQ(Child<QProgressBar>("ProgressBar1")->maximum(), 100);
}

TEST_F(QtChooserWindowTest, progress_bar_is_hidden_until_shown) {
    ShowActive();
    EXPECT_FALSE(window.ProgressBar1().IsVisible());
    EXPECT_FALSE(Child("ProgressBar1")->isVisible());
    window.ProgressBar1().SetVisible(true);
    EXPECT_TRUE(Child("ProgressBar1")->isVisible());
    EXPECT_TRUE(window.ProgressBar1().IsVisible());
}

TEST_F(QtChooserWindowTest, each_showing_raises_activation_once_the_window_is_visible) {
    window.Form().Show();
    EXPECT_EQ(raised, QStringList{"Form_Activate"});
    EXPECT_TRUE(visibleOnActivate);

    window.Form().Hide();
    EXPECT_FALSE(window.Form().IsVisible());
    window.Form().Show();
    EXPECT_EQ(raised, QStringList({"Form_Activate", "Form_Activate"}));
}

TEST_F(QtChooserWindowTest, done_has_the_focus_first_and_tab_goes_to_the_list) {
    ShowActive();
    EXPECT_EQ(QApplication::focusWidget()->objectName(), "Command1");
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget()->objectName(), "Dir1");
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget()->objectName(), "Command1");
}

TEST_F(QtChooserWindowTest, done_escape_and_the_access_key_raise_done) {
    ShowActive();
    raised.clear();
    QTest::mouseClick(Child("Command1"), Qt::LeftButton);
    QTest::keySequence(&window, QKeySequence(Qt::Key_Escape));
    QTest::keySequence(&window, QKeySequence("Alt+O"));
    // The access key presses the button as a click does, shown down for a moment first.
    EXPECT_TRUE(QTest::qWaitFor([this] { return raised.size() == 3; }));
    EXPECT_EQ(raised, QStringList({"Command1_Click", "Command1_Click", "Command1_Click"}));

    raised.clear();
    window.Command1().SetEnabled(false);
    QTest::keySequence(&window, QKeySequence(Qt::Key_Escape));
    EXPECT_TRUE(raised.isEmpty());
}

TEST_F(QtChooserWindowTest, closing_through_the_frame_only_reports) {
    ShowActive();
    raised.clear();
    window.close();
    EXPECT_EQ(raised, QStringList{"Form_Close"});
    EXPECT_TRUE(window.isVisible());
}

TEST_F(QtChooserWindowTest, the_close_handler_decides_what_becomes_of_the_window) {
    // As the chooser's logic does: it hides the chooser and shows the main window again.
    Form2Events events;
    events.Form_Close = [this] { window.Form().Hide(); };
    window.SetEvents(events);
    ShowActive();
    window.close();
    EXPECT_FALSE(window.isVisible());
}

TEST_F(QtChooserWindowTest, operations_reach_the_controls) {
    window.Form().SetCaption("Select Folder to Restore");
    EXPECT_EQ(window.windowTitle(), "Select Folder to Restore");
    window.StatusBar1().SetText("Double-click a folder to restore it");
    EXPECT_EQ(Child<StatusBarWidget>("StatusBar1")->Text(), "Double-click a folder to restore it");
    window.Dir1().SetToolTip("Double-click the folder you want to RESTORE");
    EXPECT_EQ(Child("Dir1")->toolTip(), "Double-click the folder you want to RESTORE");
    window.Dir1().SetEnabled(false);
    EXPECT_FALSE(Child("Dir1")->isEnabled());
    window.Dir1().SetPath("C:\\Stowix");
    EXPECT_EQ(window.Dir1().Path(), "C:\\Stowix");
}

}  // namespace
}  // namespace stowix
