#include "shell/centring.h"

#include <cmath>

namespace stowix {

int CentredOffset(double screenSize, double windowSize) {
    // std::nearbyint honours the default rounding mode, round half to even.
    const long long difference = std::llround(std::nearbyint(screenSize - windowSize));
    return int(difference / 2);  // integer division truncates toward zero
}

}  // namespace stowix
