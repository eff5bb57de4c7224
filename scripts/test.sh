#!/usr/bin/env bash
# Every test, in a Release build and under ASan + UBSan, then a short fuzz run.
set -euo pipefail
cd "$(dirname "$0")/.."

export QT_QPA_PLATFORM=offscreen
jobs=$(nproc)
werror=-DZEKT_WERROR=${ZEKT_WERROR:-OFF}  # CI sets ZEKT_WERROR=ON

bash scripts/build.sh build Release "$werror"
ctest --test-dir build --output-on-failure -j "$jobs"

bash scripts/build.sh build-asan Debug -DZEKT_SANITIZE=ON "$werror"
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --test-dir build-asan --output-on-failure -j "$jobs"

bash scripts/fuzz.sh "${FUZZ_SECONDS:-30}"
