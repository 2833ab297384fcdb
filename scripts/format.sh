#!/usr/bin/env bash
# Formats the C++ sources by the house style in .clang-format; with --check, changes nothing and
# fails when a file is not formatted (the test suite runs it so).
set -euo pipefail
cd "$(dirname "$0")/.."
mode=(-i)
[ "${1:-}" = "--check" ] && mode=(--dry-run -Werror)
find src tests bench tools -name '*.cpp' -o -name '*.h' | sort | xargs clang-format "${mode[@]}" --style=file
