#pragma once
// How the tests of this folder run a program of the build: its arguments, and an environment of
// their own when the world's is not enough.

#include "support/program_world.h"

#include <optional>

namespace stowix::test {

inline ProcessOptions Options(const QStringList& arguments,
                              std::optional<QProcessEnvironment> environment = std::nullopt) {
    ProcessOptions options;
    options.arguments = arguments;
    options.environment = std::move(environment);
    return options;
}

inline QStringList Sorted(QStringList names) {
    names.sort();
    return names;
}

}  // namespace stowix::test
