#pragma once

namespace stowix {

// The left (or top) that centres a window of windowSize on a screen of screenSize, both in twips.
// The difference is first rounded to a whole number, halves to the even neighbour, and then
// halved with the remainder dropped (toward zero), so a window wider than the screen gets a
// negative offset that is never rounded away from zero.
int CentredOffset(double screenSize, double windowSize);

}  // namespace stowix
