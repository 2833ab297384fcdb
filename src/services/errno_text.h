#pragma once
// The one place an error number of the host becomes the text a user reads.

#include <QString>

#include <cstring>

namespace stowix {

// The C library's text for error, in the user's language; safe from any thread.
inline QString ErrnoText(int error) {
    char buffer[256];
    // The GNU strerror_r gives a pointer that may or may not be the buffer.
    return QString::fromLocal8Bit(::strerror_r(error, buffer, sizeof buffer));
}

}  // namespace stowix
