#pragma once
// Host file names are bytes; the program's names are Unicode texts. This pair converts between
// the two so that every host name survives the round trip: valid UTF-8 decodes as usual, and each
// byte that is not part of valid UTF-8 becomes a lone surrogate U+DC80..U+DCFF that encodes back
// to that same byte. It does not deal with case or with which names Windows allows.

#include <QString>

#include <string>
#include <string_view>

namespace stowix::posix {

// True when every byte is below 0x80: such a name decodes one unit per byte.
bool IsAscii(std::string_view bytes);

// Decodes a host name. Never fails: undecodable bytes 0x80-0xFF become U+DC80-U+DCFF.
QString NameFromHost(std::string_view bytes);

// Encodes a name for the host. Lone surrogates U+DC80-U+DCFF become the bytes 0x80-0xFF again;
// any other lone surrogate, which no host name decodes to, becomes U+FFFD.
std::string NameToHost(QStringView name);

// True when a host name (bytes) and a program name are the same without regard to case, without
// decoding the host name when both are ASCII, which is what a folder scan meets nearly always.
bool HostNameMatches(std::string_view hostName, QStringView name);

}  // namespace stowix::posix
