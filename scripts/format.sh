#!/usr/bin/env bash
# format.sh [--check]: formats every C++ source with clang-format (the
# generated table keeps its own layout), or with --check fails, naming
# them, if any is not formatted.
set -euo pipefail
cd "$(dirname "$0")/.."
format=$(command -v clang-format-14 || command -v clang-format || true)
if [ -z "$format" ]; then
  echo "format.sh: clang-format not found (Debian package clang-format)" >&2
  exit 1
fi
mapfile -t files < <(git ls-files '*.cpp' '*.h' '*.hpp' '*.c')
if [ "${1:-}" = "--check" ]; then
  "$format" --dry-run --Werror "${files[@]}"
else
  "$format" -i "${files[@]}"
fi
