#include "shell/progress.h"

#include "files/text_routines.h"

namespace stowix {

void StepProgress(ProgressState& state, ProgressBar& bar, System& system, bool restartUpward,
                  bool fill) {
    if (restartUpward) state.ProgressDirection = 0;

    int candidate = 0;
    int fallback = 0;
    if (state.ProgressDirection == 0) {
        candidate = state.ProgressPosition + 1;
        fallback = 0;
    } else {
        candidate = state.ProgressPosition - 1;
        fallback = 100;
    }
    // Out of range wraps: past 100 going up restarts at 0, past 0 going down jumps to 100. Any
    // state, even one outside 0 to 100, comes back into range here.
    state.ProgressPosition = std::int16_t(KeepInRange(candidate, 0, 100, fallback));

    if (fill) state.ProgressPosition = 100;
    if (state.ProgressPosition == 0) {
        system.Beep();
        state.ProgressDirection = 0;
    }
    if (state.ProgressPosition == 100) {
        system.Beep();
        state.ProgressDirection = -1;
    }
    bar.SetValue(state.ProgressPosition);
}

}  // namespace stowix
