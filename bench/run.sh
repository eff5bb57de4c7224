#!/usr/bin/env bash
# Benchmarks zekt against GNU iconv and nkf on two corpora (edict, and the
# kanji-dense mecab-ipadic sources) and in place on a tree of small files,
# and writes docs/benchmarks.md. `make bench` builds build/ in Release first;
# run alone without build/bin/zekt, this script builds a zekt of its own in
# bench/out/.
#   BENCH_ROUNDS      rounds of interleaved runs (default 5)
#   BENCH_NKF_ROUNDS  rounds in which nkf runs, the first ones (default 2)
#   BENCH_SIZE        edict corpus size in MB (default 100)
#   BENCH_CALLGRIND   0 skips the instruction counts under callgrind (default 1)
#   ZEKT              the zekt binary to time (default build/bin/zekt)
#   BENCH_BASELINE    an older zekt binary whose instructions per byte and
#                     in-place time are reported beside ZEKT's (default none)
set -euo pipefail
cd "$(dirname "$0")/.."

# Tools and corpus source, installed only when missing.
pkgs=(edict mecab-ipadic nkf time python3 g++)
[ "${BENCH_CALLGRIND:-1}" != 0 ] && pkgs+=(valgrind)
bash scripts/install-missing.sh "${pkgs[@]}"
command -v iconv >/dev/null || { echo "bench: iconv (glibc) not found" >&2; exit 1; }

zekt=${ZEKT:-build/bin/zekt}
if [ ! -x "$zekt" ]; then
  # Run alone: a Release zekt of its own, without the tests and the GUI.
  cmake -S . -B bench/out/build -DCMAKE_BUILD_TYPE=Release \
    -DZEKT_BUILD_TESTS=OFF -DZEKT_BUILD_GUI=OFF >/dev/null
  cmake --build bench/out/build --target zekt -j "$(nproc)"
  zekt=bench/out/build/bin/zekt
fi

# The floor: a minimal buffered loop, built with the same optimisation level.
mkdir -p bench/out
floor=bench/out/zekt_floor
if [ ! -x "$floor" ] || [ bench/floor.cpp -nt "$floor" ]; then
  g++ -std=c++20 -O3 -Wall -Wextra -Wpedantic bench/floor.cpp -o "$floor"
fi

exec python3 bench/bench.py --zekt "$zekt" --floor "$floor" \
  --rounds "${BENCH_ROUNDS:-5}" --nkf-rounds "${BENCH_NKF_ROUNDS:-2}" \
  --size "${BENCH_SIZE:-100}" --callgrind "${BENCH_CALLGRIND:-1}" \
  --baseline "${BENCH_BASELINE:-}"
