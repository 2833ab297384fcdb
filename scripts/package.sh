#!/usr/bin/env bash
# Builds the Debian packages of Stowix from the release build and prints their paths: installs
# what is missing, configures and builds as the README says, then packs what `cmake --install`
# would install (CPack's DEB generator, one package per component; the dependencies come from
# dpkg-shlibdeps): stowix-cli (every command, no GUI library) and stowix (the window).
# Install both with: sudo apt install ./build/release/package/*.deb
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh >&2
cmake --preset release >&2
cmake --build --preset release >&2
output="$PWD/build/release/package"
rm -f "$output"/*.deb
cpack --config build/release/CPackConfig.cmake -B "$output" >&2
ls "$output"/*.deb
