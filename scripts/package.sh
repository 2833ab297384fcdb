#!/usr/bin/env bash
# Builds the Debian package of Stowix from the release build and prints its path: installs what
# is missing, configures and builds as the README says, then packs what `cmake --install` would
# install (CPack's DEB generator; the dependencies come from dpkg-shlibdeps).
# Install it with: sudo apt install ./build/release/package/stowix_<version>_<arch>.deb
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh >&2
cmake --preset release >&2
cmake --build --preset release >&2
output="$PWD/build/release/package"
rm -f "$output"/*.deb
cpack --config build/release/CPackConfig.cmake -B "$output" >&2
ls "$output"/*.deb
