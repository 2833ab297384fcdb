#pragma once
// The main window's controls, by the names the program gives them, and the events it raises.
// The Qt layer builds them as widgets whose object names are these names; the tests fake them.

#include "view/controls.h"

#include <functional>

namespace stowix {

class Form1Controls {
public:
    virtual ~Form1Controls() = default;
    virtual Window& Form() = 0;
    virtual Control& Command1() = 0;  // Backup
    virtual Control& Command2() = 0;  // Restore
    virtual Control& Command3() = 0;  // Exit
    virtual CheckBox& Check1() = 0;   // automatic exit
    virtual Label& Label1() = 0;      // program name
    virtual Label& Label2() = 0;      // subtitle
    virtual Label& Label3() = 0;      // notice lines
    virtual Label& Label4() = 0;      // revision number
    virtual ProgressBar& ProgressBar1() = 0;
    virtual StatusBar& StatusBar1() = 0;
    virtual Animation& Animation1() = 0;
    virtual MultimediaControl& MMControl1() = 0;
    virtual Control& FileMenu() = 0;
    virtual Control& HelpMenu() = 0;
};

// What each button, menu item and the window frame start. The Qt layer calls these; app/ binds
// them to the main window's handlers. Check1's click goes through CheckBox::SetClickHandler.
struct Form1Events {
    std::function<void()> Command1_Click;
    std::function<void()> Command2_Click;
    std::function<void()> Command3_Click;
    std::function<void()> BackupMenu_Click;
    std::function<void()> RestoreMenu_Click;
    std::function<void()> AddCommentMenu_Click;
    std::function<void()> DeleteMenu_Click;
    std::function<void()> InfoMenu_Click;
    std::function<void()> ExitMenu_Click;
    std::function<void()> AboutMenu_Click;
    std::function<void()> TipsMenu_Click;
    // The user closes the window through its frame.
    std::function<void()> Form_Close;
};

}  // namespace stowix
