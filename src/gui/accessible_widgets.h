#pragma once
// What assistive technology (a screen reader) learns of the program's own drawn widgets through
// Qt's accessibility interfaces: the status bar as a status bar whose name and value are its
// text, and the animation strip as an animation with a plain description. Qt's own widgets
// (buttons, the progress bar with its value, the lists with their items) need nothing here.

namespace stowix {

// Makes the interfaces known to Qt; the widgets call it, and once is enough.
void InstallAccessibleWidgets();

}  // namespace stowix
