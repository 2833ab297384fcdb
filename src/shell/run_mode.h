#pragma once
// How the program was started: the switches of its command line, read once at start-up and
// handed on as ProgramValues::Mode. It does not deal with what each mode does (start-up and the
// backup run decide that).

#include "services/program_values.h"

#include <QStringList>

namespace stowix {

// arguments: those after the program's name. The switch test is the program's own, kept as it
// always was: the arguments joined by single blanks and upper-cased, and a switch counts wherever
// it stands in that line, also inside a longer word ("/UNATTENDED", "C:\X/USR"). "/U" wins over
// "/I".
RunMode RunModeOf(const QStringList& arguments);

}  // namespace stowix
