#pragma once
// The attribute bits by the letters that DIR and ATTRIB show them with, for tables of cases.

#include "fs/file_system.h"

namespace stowix::test {

constexpr int R = Attribute::ReadOnly;
constexpr int H = Attribute::Hidden;
constexpr int S = Attribute::System;
constexpr int A = Attribute::Archive;

}  // namespace stowix::test
