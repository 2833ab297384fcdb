#pragma once
// The progress bar as an activity indicator: it sweeps from 0 to 100 and back, one step per
// call, with a beep at each end. Each window that has a bar keeps its own state.

#include "services/system.h"
#include "view/controls.h"

#include <cstdint>

namespace stowix {

struct ProgressState {
    std::int16_t ProgressDirection = 0;  // 0 counting up, -1 counting down
    std::int16_t ProgressPosition = 0;   // 0 to 100
};

// One step of the bar; restartUpward turns the direction up (the position stays), fill sets the
// bar full. Never leaves 0 to 100, whatever state it starts from.
void StepProgress(ProgressState& state, ProgressBar& bar, System& system, bool restartUpward,
                  bool fill);

}  // namespace stowix
