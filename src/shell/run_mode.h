#pragma once
// How the program was started: the switches of its command line, read once at start-up and
// handed on as ProgramValues::Mode, and the drive the command line names. It does not deal with
// what each mode does (start-up and the backup run decide that).

#include "services/program_values.h"

#include <QString>
#include <QStringList>

#include <optional>

namespace stowix {

// The arguments after the program's name, less the first bare "--", after which nothing is an
// option: the arguments the two functions below read.
QStringList ArgumentsAfterName(int argc, char** argv);

// arguments: those after the program's name. "/U" and "/I" are switches only as whole
// arguments, in either case: a path such as "/media/usb/win98.img" or "C:\X/USR" holds "/u" or
// "/i" and is never read as one, so that it cannot start a backup of another drive. "/U" wins
// over "/I".
RunMode RunModeOf(const QStringList& arguments);

// The arguments that are not switches: each names the drive (the program takes one).
QStringList DriveArgumentsOf(const QStringList& arguments);

}  // namespace stowix
