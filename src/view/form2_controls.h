#pragma once
// The folder chooser's controls, by the names the program gives them, and its events.

#include "view/controls.h"

#include <functional>

namespace stowix {

class Form2Controls {
public:
    virtual ~Form2Controls() = default;
    virtual Window& Form() = 0;
    virtual Control& Command1() = 0;  // Done
    virtual FolderList& Dir1() = 0;   // its change handler is set through SetChangeHandler
    virtual ProgressBar& ProgressBar1() = 0;
    virtual StatusBar& StatusBar1() = 0;
};

struct Form2Events {
    // Each time the chooser becomes the program's active window by being shown.
    std::function<void()> Form_Activate;
    std::function<void()> Command1_Click;
    // The user closes the chooser through its frame.
    std::function<void()> Form_Close;
};

}  // namespace stowix
