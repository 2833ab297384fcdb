#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test: the README's test command.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake --workflow --preset release
