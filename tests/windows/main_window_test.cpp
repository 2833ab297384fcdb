// The main window as built: every control where it belongs, with its texts and fonts, the menus,
// the focus order, and each click, menu item and key reaching its event.

#include "gui/main_window.h"
#include "gui/line_widget.h"
#include "gui/status_bar_widget.h"
#include "support/qt_printers.h"
#include "support/window_fixture.h"

#include <gtest/gtest.h>

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QFontInfo>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>

namespace stowix {
namespace {

class QtMainWindowTest : public test::WindowFixture<QtMainWindow> {
protected:
    QtMainWindowTest() {
        auto record = [this](const char* name) { return [this, name] { raised.append(name); }; };
        window.SetEvents({
            .Command1_Click = record("Command1_Click"),
            .Command2_Click = record("Command2_Click"),
            .Command3_Click = record("Command3_Click"),
            .BackupMenu_Click = record("BackupMenu_Click"),
            .RestoreMenu_Click = record("RestoreMenu_Click"),
            .AddCommentMenu_Click = record("AddCommentMenu_Click"),
            .DeleteMenu_Click = record("DeleteMenu_Click"),
            .InfoMenu_Click = record("InfoMenu_Click"),
            .ExitMenu_Click = record("ExitMenu_Click"),
            .AboutMenu_Click = record("AboutMenu_Click"),
            .TipsMenu_Click = record("TipsMenu_Click"),
            .Form_Close = record("Form_Close"),
        });
    }

    QStringList raised;
};

TEST_F(QtMainWindowTest, client_area_lies_below_the_menu_bar_at_the_designed_size) {
    QWidget* client = window.ClientArea();
    EXPECT_EQ(client->size(), QSize(441, 386));
    EXPECT_EQ(client->y(), window.menuBar()->height());
    EXPECT_EQ(window.size(), QSize(441, 386 + window.menuBar()->height()));
}

TEST_F(QtMainWindowTest, each_control_has_its_designed_place_in_pixels) {
    const struct {
        const char* name;
        QRect pixels;
    } table[] = {
        {"Line1", {0, 0, 440, 1}},
        {"Line2", {1, 1, 440, 1}},
        {"MMControl1", {8, 8, 26, 22}},
        {"Label1", {40, 8, 361, 65}},
        {"Label4", {360, 48, 32, 14}},
        {"Label2", {40, 80, 361, 25}},
        {"Label3", {40, 112, 361, 49}},
        {"Animation1", {32, 176, 377, 41}},
        {"ProgressBar1", {32, 232, 377, 41}},
        {"Command1", {32, 288, 121, 39}},
        {"Command2", {160, 288, 121, 39}},
        {"Command3", {288, 288, 121, 39}},
        {"Check1", {248, 336, 161, 19}},
        {"StatusBar1", {0, 361, 441, 25}},
    };
    for (const auto& row : table) {
        SCOPED_TRACE(row.name);
        QWidget* control = Child(row.name);
        ASSERT_NE(control, nullptr);
        EXPECT_EQ(control->parentWidget(), window.ClientArea());
        EXPECT_EQ(control->geometry(), row.pixels);
    }
}

TEST_F(QtMainWindowTest, captions_and_tool_tips_are_the_designed_ones) {
    const struct {
        const char* name;
        QString caption;
        QString toolTip;
    } table[] = {
        {"Command1", "&Backup", "Click here to BACKUP your current configuration"},
        {"Command2", "&Restore", "Click here to RESTORE a configuration"},
        {"Command3", "E&xit", "Click here to EXIT the program"},
        {"Check1", "&Automatically exit when done",
         "Click here to exit Stowix automatically when finished backing up or restoring"},
        {"Label4", "", "Version #"},
        {"Animation1", "", "Don't get screwed by untested software! Use Stowix!"},
        {"ProgressBar1", "", "Stowix is READY ... Please click a button"},
        {"StatusBar1", "", "Status messages are displayed here"},
    };
    for (const auto& row : table) {
        SCOPED_TRACE(row.name);
        QWidget* control = Child(row.name);
        ASSERT_NE(control, nullptr);
        if (auto* button = qobject_cast<QAbstractButton*>(control)) {
            EXPECT_EQ(button->text(), row.caption);
        }
        EXPECT_EQ(control->toolTip(), row.toolTip);
    }
    EXPECT_EQ(window.windowTitle(), "Stowix");
}

TEST_F(QtMainWindowTest, fonts_are_the_designed_ones_or_metric_twins) {
    const struct {
        const char* name;
        QString family;
        QStringList installed;  // the face itself or its metric-compatible stand-in
        qreal points;
        bool bold;
        bool italic;
    } table[] = {
        {"Label1", "Times New Roman", {"Times New Roman", "Liberation Serif"}, 42, true, true},
        {"Label4", "Times New Roman", {"Times New Roman", "Liberation Serif"}, 8.25, false, true},
        {"Label2", "Arial", {"Arial", "Liberation Sans"}, 12, true, true},
        {"Label3",
         "MS Sans Serif",
         {"MS Sans Serif", "Liberation Sans", "DejaVu Sans"},
         8.25,
         false,
         false},
        {"Command1",
         "MS Sans Serif",
         {"MS Sans Serif", "Liberation Sans", "DejaVu Sans"},
         8.25,
         false,
         false},
        {"Command2",
         "MS Sans Serif",
         {"MS Sans Serif", "Liberation Sans", "DejaVu Sans"},
         8.25,
         false,
         false},
        {"Command3",
         "MS Sans Serif",
         {"MS Sans Serif", "Liberation Sans", "DejaVu Sans"},
         8.25,
         false,
         false},
        {"Check1",
         "MS Sans Serif",
         {"MS Sans Serif", "Liberation Sans", "DejaVu Sans"},
         8.25,
         false,
         false},
        {"StatusBar1",
         "MS Sans Serif",
         {"MS Sans Serif", "Liberation Sans", "DejaVu Sans"},
         8.25,
         false,
         false},
    };
    for (const auto& row : table) {
        SCOPED_TRACE(row.name);
        QWidget* control = Child(row.name);
        ASSERT_NE(control, nullptr);
        const QFont font = control->font();
        // The designed family is asked for where it is installed, else its installed stand-in.
        EXPECT_TRUE(font.family() == row.family || row.installed.contains(font.family()))
            << font.family().toStdString();
        EXPECT_DOUBLE_EQ(font.pointSizeF(), row.points);
        EXPECT_EQ(font.bold(), row.bold);
        EXPECT_EQ(font.italic(), row.italic);
        EXPECT_TRUE(row.installed.contains(QFontInfo(font).family()))
            << QFontInfo(font).family().toStdString();
    }
}

TEST_F(QtMainWindowTest, the_top_rule_is_etched_and_the_revision_is_grey_and_right_aligned) {
    EXPECT_EQ(Child<LineWidget>("Line1")->ColourRole(), QPalette::Dark);
    EXPECT_EQ(Child<LineWidget>("Line2")->ColourRole(), QPalette::Light);
    auto* label4 = Child<QLabel>("Label4");
    EXPECT_TRUE(label4->alignment() & Qt::AlignRight);
    EXPECT_EQ(label4->palette().color(QPalette::WindowText), QColor(0x80, 0x80, 0x80));
    for (const char* name : {"Label1", "Label2", "Label3"})
        EXPECT_TRUE(Child<QLabel>(name)->alignment() & Qt::AlignHCenter) << name;
}

TEST_F(QtMainWindowTest, revision_label_fits_its_text_and_keeps_its_left_edge) {
    auto* label4 = Child<QLabel>("Label4");
    window.Label4().SetCaption("103");
    EXPECT_EQ(label4->text(), "103");
    EXPECT_EQ(label4->x(), 360);  // 5400 twips
    EXPECT_EQ(label4->width(), label4->sizeHint().width());
}

TEST_F(QtMainWindowTest, captions_keep_carriage_returns_and_show_them_as_line_breaks) {
    window.Label3().SetCaption("Owner\rRights\rSupport");
    EXPECT_EQ(window.Label3().Caption(), "Owner\rRights\rSupport");
    EXPECT_EQ(Child<QLabel>("Label3")->text(), "Owner\nRights\nSupport");
}

TEST_F(QtMainWindowTest, the_frame_is_fixed_with_neither_minimise_nor_maximise) {
    const Qt::WindowFlags flags = window.windowFlags();
    EXPECT_FALSE(flags & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(flags & Qt::WindowMaximizeButtonHint);
    EXPECT_TRUE(flags & Qt::WindowCloseButtonHint);
    EXPECT_EQ(window.minimumSize(), window.maximumSize());
}

TEST_F(QtMainWindowTest, menus_hold_their_items_separators_and_shortcuts_in_order) {
    QMenuBar* bar = window.menuBar();
    ASSERT_EQ(bar->actions().size(), 2);
    EXPECT_EQ(bar->actions()[0]->text(), "&File");
    EXPECT_EQ(bar->actions()[1]->text(), "&Help");

    struct Item {
        QString name;  // empty for a separator
        QString caption;
        QKeySequence shortcut;
    };
    auto itemsOf = [](const QMenu* menu) {
        std::vector<Item> items;
        for (const QAction* action : menu->actions())
            items.push_back({action->isSeparator() ? QString() : action->objectName(),
                             action->text(), action->shortcut()});
        return items;
    };
    const std::vector<Item> file = {
        {"BackupMenu", "&Backup", QKeySequence("Ctrl+B")},
        {"RestoreMenu", "&Restore", QKeySequence("Ctrl+R")},
        {"", "", {}},
        {"AddCommentMenu", "&Add comment ...", QKeySequence("Ctrl+C")},
        {"DeleteMenu", "&Delete ...", QKeySequence("Ctrl+D")},
        {"", "", {}},
        {"InfoMenu", "&Info", QKeySequence("Ctrl+I")},
        {"", "", {}},
        {"ExitMenu", "E&xit", QKeySequence("Ctrl+Q")},
    };
    const std::vector<Item> help = {
        {"AboutMenu", "&About Stowix", QKeySequence(Qt::Key_F1)},
        {"TipsMenu", "&Tips", QKeySequence(Qt::Key_F2)},
    };
    for (const auto& [menuName, expected] :
         {std::pair{"FileMenu", file}, std::pair{"HelpMenu", help}}) {
        SCOPED_TRACE(menuName);
        const std::vector<Item> actual = itemsOf(Child<QMenu>(menuName));
        ASSERT_EQ(actual.size(), expected.size());
        for (size_t i = 0; i < actual.size(); ++i) {
            SCOPED_TRACE(i);
            EXPECT_EQ(actual[i].name, expected[i].name);
            EXPECT_EQ(actual[i].caption, expected[i].caption);
            EXPECT_EQ(actual[i].shortcut, expected[i].shortcut);
        }
    }
}

TEST_F(QtMainWindowTest, backup_has_the_focus_first_and_tab_walks_the_buttons_then_the_box) {
    ShowActive();
    QStringList order{QApplication::focusWidget()->objectName()};
    for (int i = 0; i < 4; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        order.append(QApplication::focusWidget()->objectName());
    }
    EXPECT_EQ(order, QStringList({"Command1", "Command2", "Command3", "Check1", "Command1"}));
}

TEST_F(QtMainWindowTest, clicking_each_button_raises_its_event) {
    const struct {
        const char* button;
        const char* event;
    } table[] = {{"Command1", "Command1_Click"},
                 {"Command2", "Command2_Click"},
                 {"Command3", "Command3_Click"}};
    ShowActive();
    for (const auto& row : table) {
        SCOPED_TRACE(row.button);
        raised.clear();
        QTest::mouseClick(Child(row.button), Qt::LeftButton);
        EXPECT_EQ(raised, QStringList{row.event});
    }
}

TEST_F(QtMainWindowTest, each_menu_item_and_its_shortcut_raise_the_item_event) {
    const struct {
        const char* item;
        QKeySequence keys;
        const char* event;
    } table[] = {
        {"BackupMenu", QKeySequence("Ctrl+B"), "BackupMenu_Click"},
        {"RestoreMenu", QKeySequence("Ctrl+R"), "RestoreMenu_Click"},
        {"AddCommentMenu", QKeySequence("Ctrl+C"), "AddCommentMenu_Click"},
        {"DeleteMenu", QKeySequence("Ctrl+D"), "DeleteMenu_Click"},
        {"InfoMenu", QKeySequence("Ctrl+I"), "InfoMenu_Click"},
        {"ExitMenu", QKeySequence("Ctrl+Q"), "ExitMenu_Click"},
        {"AboutMenu", QKeySequence(Qt::Key_F1), "AboutMenu_Click"},
        {"TipsMenu", QKeySequence(Qt::Key_F2), "TipsMenu_Click"},
    };
    ShowActive();
    for (const auto& row : table) {
        SCOPED_TRACE(row.item);
        raised.clear();
        Child<QAction>(row.item)->trigger();
        EXPECT_EQ(raised, QStringList{row.event});
        raised.clear();
        QTest::keySequence(&window, row.keys);
        EXPECT_EQ(raised, QStringList{row.event});
    }
}

TEST_F(QtMainWindowTest, access_keys_and_escape_press_their_buttons) {
    const struct {
        QKeySequence keys;
        const char* event;
    } table[] = {
        {QKeySequence("Alt+B"), "Command1_Click"},
        {QKeySequence("Alt+R"), "Command2_Click"},
        {QKeySequence("Alt+X"), "Command3_Click"},
        {QKeySequence(Qt::Key_Escape), "Command3_Click"},
    };
    ShowActive();
    for (const auto& row : table) {
        SCOPED_TRACE(row.keys.toString().toStdString());
        raised.clear();
        QTest::keySequence(&window, row.keys);
        // An access key presses its button the way a click does, shown down for a moment first.
        EXPECT_TRUE(QTest::qWaitFor([this] { return !raised.isEmpty(); }));
        EXPECT_EQ(raised, QStringList{row.event});
    }
}

TEST_F(QtMainWindowTest, a_disabled_menu_greys_its_items_and_their_shortcuts) {
    ShowActive();
    window.FileMenu().SetEnabled(false);
    EXPECT_FALSE(window.FileMenu().IsEnabled());
    EXPECT_FALSE(Child<QAction>("ExitMenu")->isEnabled());
    QTest::keySequence(&window, QKeySequence("Ctrl+B"));
    EXPECT_TRUE(raised.isEmpty());

    window.FileMenu().SetEnabled(true);
    QTest::keySequence(&window, QKeySequence("Ctrl+B"));
    EXPECT_EQ(raised, QStringList{"BackupMenu_Click"});
    EXPECT_TRUE(window.HelpMenu().IsEnabled());
}

TEST_F(QtMainWindowTest, check_box_raises_its_click_on_each_change_of_value_only) {
    int clicks = 0;
    window.Check1().SetClickHandler([&] { ++clicks; });
    const struct {
        int set;
        int expectedValue;
        int expectedClicks;
    } steps[] = {{0, 0, 0}, {1, 1, 1}, {1, 1, 1}, {0, 0, 2}};
    for (const auto& step : steps) {
        SCOPED_TRACE(step.set);
        window.Check1().SetValue(step.set);
        EXPECT_EQ(window.Check1().Value(), step.expectedValue);
        EXPECT_EQ(clicks, step.expectedClicks);
    }
    ShowActive();
    QTest::mouseClick(Child("Check1"), Qt::LeftButton, {}, QPoint(6, 9));
    EXPECT_EQ(window.Check1().Value(), 1);
    EXPECT_EQ(clicks, 3);
}

TEST_F(QtMainWindowTest, closing_through_the_frame_only_reports) {
    ShowActive();
    window.close();
    EXPECT_EQ(raised, QStringList{"Form_Close"});
    EXPECT_TRUE(window.isVisible());
}

TEST_F(QtMainWindowTest, controls_report_and_change_their_state) {
    window.Command2().SetEnabled(false);
    EXPECT_FALSE(Child("Command2")->isEnabled());
    EXPECT_FALSE(window.Command2().IsEnabled());

    window.StatusBar1().SetText("Ready [C:\\WINDOWS]");
    EXPECT_EQ(Child<StatusBarWidget>("StatusBar1")->Text(), "Ready [C:\\WINDOWS]");

    const struct {
        int set;
        int shown;
    } values[] = {{57, 57}, {100, 100}, {0, 0}, {101, 100}, {-1, 0}};
    for (const auto& row : values) {
        SCOPED_TRACE(row.set);
        window.ProgressBar1().SetValue(row.set);
        EXPECT_EQ(Child<QProgressBar>("ProgressBar1")->value(), row.shown);
        EXPECT_EQ(window.ProgressBar1().Value(), row.shown);
    }
}

TEST_F(QtMainWindowTest, animation_and_sound_are_the_named_controls_and_the_sound_stays_hidden) {
    EXPECT_EQ(dynamic_cast<QWidget*>(&window.Animation1()), Child("Animation1"));
    EXPECT_EQ(dynamic_cast<QWidget*>(&window.MMControl1()), Child("MMControl1"));
    ShowActive();
    EXPECT_TRUE(Child("Animation1")->isVisible());
    EXPECT_FALSE(Child("MMControl1")->isVisible());
}

TEST(QtMainWindowIcon, comes_from_the_images_in_the_program_folder_when_there) {
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    EXPECT_TRUE(QtMainWindow(folder.path()).windowIcon().availableSizes().isEmpty());

    for (int size : {32, 16}) {
        QImage image(size, size, QImage::Format_ARGB32);
        image.fill(Qt::darkCyan);
        ASSERT_TRUE(image.save(folder.filePath(QString("stowix-%1.png").arg(size))));
    }
    const QList<QSize> sizes = QtMainWindow(folder.path()).windowIcon().availableSizes();
    EXPECT_TRUE(sizes.contains(QSize(32, 32)));
    EXPECT_TRUE(sizes.contains(QSize(16, 16)));
}

TEST_F(QtMainWindowTest, busy_pointer_shows_over_the_window_until_reset) {
    window.Form().SetMousePointer(13);
    EXPECT_EQ(window.cursor().shape(), Qt::BusyCursor);
    EXPECT_EQ(window.ClientArea()->cursor().shape(), Qt::BusyCursor);
    window.Form().SetMousePointer(0);
    EXPECT_EQ(window.cursor().shape(), Qt::ArrowCursor);
}

TEST_F(QtMainWindowTest, window_sizes_and_moves_in_twips) {
    ShowActive();
    Window& form = window.Form();
    EXPECT_EQ(form.Width(), window.frameGeometry().width() * 15);
    EXPECT_EQ(form.Height(), window.frameGeometry().height() * 15);
    EXPECT_EQ(form.ScreenWidth(), window.screen()->geometry().width() * 15);
    EXPECT_EQ(form.ScreenHeight(), window.screen()->geometry().height() * 15);
    form.Move(1500, 3000);
    EXPECT_EQ(window.frameGeometry().topLeft(), QPoint(100, 200));
    form.Hide();
    EXPECT_FALSE(form.IsVisible());
}

}  // namespace
}  // namespace stowix

namespace stowix {
namespace {

// What a screen reader learns through Qt's accessibility interfaces: each control's name, role
// and text, the status bar's text, the progress bar's value and the animation in plain words.
TEST_F(QtMainWindowTest, every_control_tells_assistive_technology_its_name_role_and_text) {
    ShowActive();
    window.StatusBar1().SetText("Ready [C:\\WINDOWS]");
    window.ProgressBar1().SetValue(57);
    const auto access = [this](const char* name) {
        return QAccessible::queryAccessibleInterface(Child(name));
    };
    const struct {
        const char* name;
        QAccessible::Role role;
        const char* text;  // the start of its accessible name
    } controls[] = {
        {"Command1", QAccessible::Button, "Backup"},
        {"Command2", QAccessible::Button, "Restore"},
        {"Command3", QAccessible::Button, "Exit"},
        {"Check1", QAccessible::CheckBox, "Automatic"},
        {"StatusBar1", QAccessible::StatusBar, "Ready [C:\\WINDOWS]"},
        {"Animation1", QAccessible::Animation, "Animation"},
        {"ProgressBar1", QAccessible::ProgressBar, "Progress"},
    };
    for (const auto& control : controls) {
        SCOPED_TRACE(control.name);
        QAccessibleInterface* interface = access(control.name);
        ASSERT_NE(interface, nullptr);
        EXPECT_EQ(interface->role(), control.role);
        EXPECT_TRUE(interface->text(QAccessible::Name).startsWith(control.text))
            << interface->text(QAccessible::Name).toStdString();
    }
    EXPECT_EQ(access("StatusBar1")->text(QAccessible::Value), "Ready [C:\\WINDOWS]");
    EXPECT_TRUE(access("Animation1")->text(QAccessible::Description).contains("backs up"));
    QAccessibleValueInterface* progress = access("ProgressBar1")->valueInterface();
    ASSERT_NE(progress, nullptr);
    EXPECT_EQ(progress->currentValue().toInt(), 57);
}

// The drive is switched from the File menu's last item, from the keyboard too; the title
// names the drive.
TEST_F(QtMainWindowTest, the_drive_item_comes_last_with_its_own_shortcut) {
    int opened = 0;
    window.AddOpenDriveItem([&opened] { ++opened; });
    window.NameDrive("win98.qcow2");
    EXPECT_EQ(window.windowTitle(), "Stowix - win98.qcow2");
    ShowActive();
    const QList<QAction*> items = Child<QMenu>("FileMenu")->actions();
    ASSERT_FALSE(items.isEmpty());
    EXPECT_EQ(items.last()->objectName(), "OpenDriveMenu");
    EXPECT_EQ(items.last()->shortcut(), QKeySequence("Ctrl+O"));
    QTest::keySequence(&window, QKeySequence("Ctrl+O"));
    EXPECT_EQ(opened, 1);
}

}  // namespace
}  // namespace stowix
