// The folder list over the real file system on a temporary drive: only folders are listed,
// whatever case their names are stored in, and not the read-only, hidden or system ones.

#include "gui/folder_list_widget.h"
#include "support/qt_printers.h"
#include "support/temp_drive.h"

#include <gtest/gtest.h>

namespace stowix {
namespace {

QStringList Texts(const FolderListWidget& list) {
    QStringList texts;
    for (int row = 0; row < list.count(); ++row) texts.append(list.item(row)->text());
    return texts;
}

TEST(FolderListOnDrive, lists_the_backup_sets_and_no_files) {
    test::TempDrive drive;
    drive.AddFolder("C:\\Stowix\\zeta");
    drive.AddFolder("C:\\Stowix\\Alpha");
    drive.AddFolder("C:\\Stowix\\beta");
    drive.AddFile("C:\\Stowix\\SYSTEM.DAT", "registry");
    drive.AddFile("C:\\Stowix\\USER.DAT", "registry");

    FolderListWidget list(drive.Files());
    list.SetPath("C:\\Stowix");
    EXPECT_EQ(Texts(list), QStringList({"C:\\", "Stowix", "Alpha", "beta", "zeta"}));

    for (const auto& [name, attribute] :
         {std::pair{"C:\\Stowix\\hidden", Attribute::Hidden},
          std::pair{"C:\\Stowix\\system", Attribute::System},
          std::pair{"C:\\Stowix\\read-only", Attribute::ReadOnly}}) {
        drive.AddFolder(name);
        ASSERT_TRUE(drive.Files().WriteAttributes(name, attribute).ok()) << name;
    }
    list.Refresh();
    EXPECT_EQ(Texts(list), QStringList({"C:\\", "Stowix", "Alpha", "beta", "zeta"}));

    list.SetPath("C:\\STOWIX");
    EXPECT_EQ(Texts(list).mid(2), QStringList({"Alpha", "beta", "zeta"}));
    EXPECT_EQ(list.Path(), "C:\\STOWIX");
}

}  // namespace
}  // namespace stowix
