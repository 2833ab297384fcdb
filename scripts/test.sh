#!/usr/bin/env bash
# Installs what is missing, builds, runs every test and builds the Debian package: the README's
# test command.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake --workflow --preset release
# The Debian package of the build just tested, as users get it (lintian and the install and
# removal checks are among the tests above).
bash scripts/package.sh
