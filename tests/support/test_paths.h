#pragma once
// Where the tests find the built programs and the sources: the STOWIX_BUILD_DIR and
// STOWIX_SOURCE_DIR variables when set, else the folders this test program was built for.

#include <QString>

namespace stowix::test {

inline QString BuildDir() {
    const QString given = qEnvironmentVariable("STOWIX_BUILD_DIR");
    return given.isEmpty() ? QStringLiteral(STOWIX_TEST_BUILD_DIR) : given;
}

inline QString SourceDir() {
    const QString given = qEnvironmentVariable("STOWIX_SOURCE_DIR");
    return given.isEmpty() ? QStringLiteral(STOWIX_TEST_SOURCE_DIR) : given;
}

// A built program, such as "stowix" or "stowix-boot".
inline QString ProgramPath(const QString& name) { return BuildDir() + "/bin/" + name; }

}  // namespace stowix::test
