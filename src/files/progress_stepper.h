#pragma once

namespace stowix {

// A window's progress bar as the group copy steps it: each window that copies files (the main
// window and the folder chooser) steps its own bar, through its own progress state.
class ProgressStepper {
public:
    virtual ~ProgressStepper() = default;
    virtual void StepProgress(bool restartUpward, bool fill) = 0;
};

}  // namespace stowix
