// The folder list over the program's file system: what it lists, how its path reads, and the
// change event that a set path or a double-click raises.

#include "gui/folder_list_widget.h"
#include "support/qt_printers.h"
#include "windows/folder_tree.h"

#include <gtest/gtest.h>

#include <QAccessible>
#include <QTest>

namespace stowix {
namespace {

class FolderListTest : public testing::Test {
protected:
    FolderListTest() {
        files.AddFolder("C:\\Stowix\\b set");
        files.AddFolder("C:\\Stowix\\A set");
        files.AddFolder("C:\\Stowix\\c set\\inner");
        files.AddFile("C:\\Stowix\\SYSTEM.DAT");
        files.AddFolder("C:\\WINDOWS");
        list.resize(441, 201);
        list.SetChangeHandler([this] { changes.append(list.Path()); });
    }

    // Each entry as its indentation in blanks, then its text.
    QStringList Entries() const {
        QStringList entries;
        for (int row = 0; row < list.count(); ++row) {
            const QListWidgetItem* entry = list.item(row);
            const int level = entry->data(FolderListWidget::LevelRole).toInt();
            entries.append(QString(level, ' ') + entry->text());
        }
        return entries;
    }

    void DoubleClick(const QString& text) {
        const auto found = list.findItems(text, Qt::MatchExactly);
        ASSERT_EQ(found.size(), 1) << text.toStdString();
        QTest::mouseDClick(list.viewport(), Qt::LeftButton, {},
                           list.visualItemRect(found.first()).center());
    }

    test::FolderTree files;
    FolderListWidget list{files};
    QStringList changes;
};

TEST_F(FolderListTest, lists_the_way_down_then_the_subfolders_sorted_without_case) {
    list.SetPath("C:\\Stowix");
    EXPECT_EQ(Entries(), QStringList({"C:\\", " Stowix", "  A set", "  b set", "  c set"}));
    EXPECT_EQ(list.currentItem()->text(), "Stowix");
    EXPECT_EQ(files.asked, QStringList{"C:\\Stowix\\*.* mask 23"});
}

TEST_F(FolderListTest, lists_the_drive_root_and_deeper_paths) {
    list.SetPath("C:\\");
    EXPECT_EQ(Entries(), QStringList({"C:\\", " Stowix", " WINDOWS"}));
    EXPECT_EQ(files.asked.last(), "C:\\*.* mask 23");

    list.SetPath("C:\\Stowix\\c set");
    EXPECT_EQ(Entries(), QStringList({"C:\\", " Stowix", "  c set", "   inner"}));
    EXPECT_EQ(list.currentItem()->text(), "c set");
}

TEST_F(FolderListTest, path_reads_as_a_dos_path) {
    const struct {
        QString set;
        QString path;
    } table[] = {
        {"C:\\", "C:\\"},
        {"C:", "C:\\"},
        {"C:\\Stowix", "C:\\Stowix"},
        {"C:\\Stowix\\", "C:\\Stowix"},
        {"C:\\Stowix\\A set", "C:\\Stowix\\A set"},
    };
    for (const auto& row : table) {
        SCOPED_TRACE(row.set.toStdString());
        list.SetPath(row.set);
        EXPECT_EQ(list.Path(), row.path);
    }
}

TEST_F(FolderListTest, setting_a_new_path_raises_the_change_inside_the_call) {
    list.SetPath("C:\\");
    list.SetPath("C:\\Stowix");
    list.SetPath("C:\\Stowix");
    list.SetPath("C:\\Stowix\\");
    EXPECT_EQ(changes, QStringList({"C:\\", "C:\\Stowix"}));
}

TEST_F(FolderListTest, setting_the_same_path_reads_the_folder_again) {
    list.SetPath("C:\\Stowix");
    files.AddFolder("C:\\Stowix\\d set");
    list.SetPath("C:\\Stowix");
    EXPECT_EQ(Entries().last(), "  d set");
}

TEST_F(FolderListTest, double_click_makes_the_entry_the_path) {
    list.SetPath("C:\\Stowix");
    changes.clear();

    DoubleClick("b set");
    EXPECT_EQ(list.Path(), "C:\\Stowix\\b set");
    DoubleClick("C:\\");
    EXPECT_EQ(list.Path(), "C:\\");
    DoubleClick("Stowix");
    EXPECT_EQ(changes, QStringList({"C:\\Stowix\\b set", "C:\\", "C:\\Stowix"}));
}

// From the keyboard: the arrows select a folder and Enter (either key) does what a double-click
// does; the list's items are what a screen reader reads.
TEST_F(FolderListTest, enter_on_the_selected_folder_makes_it_the_path) {
    list.SetPath("C:\\Stowix");
    changes.clear();
    list.setCurrentItem(list.findItems("b set", Qt::MatchExactly).first());
    QTest::keyClick(&list, Qt::Key_Return);
    EXPECT_EQ(list.Path(), "C:\\Stowix\\b set");
    QTest::keyClick(&list, Qt::Key_Up);
    QTest::keyClick(&list, Qt::Key_Enter);
    EXPECT_EQ(changes, QStringList({"C:\\Stowix\\b set", "C:\\Stowix"}));

    QAccessibleInterface* access = QAccessible::queryAccessibleInterface(&list);
    ASSERT_NE(access, nullptr);
    EXPECT_EQ(access->role(), QAccessible::List);
    QStringList read;
    for (int i = 0; i < access->childCount(); ++i)
        read.append(access->child(i)->text(QAccessible::Name));
    EXPECT_TRUE(read.contains("b set")) << read.join('|').toStdString();
}

TEST_F(FolderListTest, double_click_on_the_current_folder_changes_nothing) {
    list.SetPath("C:\\Stowix");
    changes.clear();
    DoubleClick("Stowix");
    EXPECT_TRUE(changes.isEmpty());
}

TEST_F(FolderListTest, a_change_handler_may_set_the_path_again_during_a_double_click) {
    // As the chooser does: the drive root is refused by going back to the backup root, nested.
    list.SetChangeHandler([this] {
        changes.append(list.Path());
        if (list.Path() == "C:\\") list.SetPath("C:\\Stowix");
    });
    list.SetPath("C:\\Stowix");
    changes.clear();
    DoubleClick("C:\\");
    EXPECT_EQ(changes, QStringList({"C:\\", "C:\\Stowix"}));
    EXPECT_EQ(list.Path(), "C:\\Stowix");
    EXPECT_EQ(Entries().first(), "C:\\");
    EXPECT_EQ(list.currentItem()->text(), "Stowix");
}

TEST_F(FolderListTest, a_missing_folder_shows_the_way_down_only) {
    list.SetPath("C:\\Gone");
    EXPECT_EQ(Entries(), QStringList({"C:\\", " Gone"}));
}

}  // namespace
}  // namespace stowix
