#pragma once

#include "files/listing.h"

#include <QString>

#include <vector>

namespace stowix {

// A message box has room for this many failed files; the rest are counted.
constexpr int ListedCopyFailures = 20;

// The failed files of a group copy for a message text: one line each, its path and the host's
// reason (the path once, when the reason names it already), at most ListedCopyFailures lines
// and then "... and N more". Lines are broken by single carriage returns, as the program's
// message texts are; the text does not end in one.
QString ListCopyFailures(const std::vector<CopyFailure>& failures);

}  // namespace stowix
