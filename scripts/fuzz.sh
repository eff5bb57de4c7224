#!/usr/bin/env bash
# fuzz.sh SECONDS: builds the libFuzzer target with clang in build-fuzz and runs
# it for SECONDS (default 300) from a seed corpus of text in every code.
# Fails, keeping the crashing input in build-fuzz/artifacts/, on any finding.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-300}
dir=build-fuzz

CC=clang CXX=clang++ cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DZEKT_FUZZ=ON -DZEKT_BUILD_TESTS=OFF -DZEKT_BUILD_GUI=OFF -DZEKT_WERROR="${ZEKT_WERROR:-OFF}" >/dev/null
cmake --build "$dir" -j "$(nproc)" --target zekt_fuzz

# Each seed is four settings bytes (see zekt_fuzz.cpp) and then the text.
seeds=$dir/seeds
rm -rf "$seeds"
mkdir -p "$seeds" "$dir/corpus" "$dir/artifacts"
texts=(
  'a\r\nb\rc\n'                                              # line ends
  '\x82\xa0\x88\x9f\xb1\xde\x87\x40\xfa\x40\xed\x40\xf0\x40\r\n'    # Shift-JIS, kana, vendor codes
  '\xb0\xa1\xa4\xa2\x8e\xb1\x8e\xde\x8f\xb0\xa1\xad\xa1\xfe\xa1\n'  # EUC, SS2, SS3, NEC row
  '\x1b$B0!\x1b(Ba\x1b(I1\x1b(J\x0e2\x0f\x1b$@0!\x1bK0!\x1bH\x1b$(D0!\x1b(B\n'  # JIS sequences
  '\x1b&@\x1b(Z\x1b$Z0!\x1b$(Q0!\x1b'                       # unknown and unfinished escapes
  'ab\tc\x0c\x1a\x00\x7f'                                    # control bytes
  '\xef\xbb\xbf\xe3\x81\x82\xef\xbd\xb1\xc2\xa5\xf0\x9f\x98\x80\xe3\x81\r\n'  # UTF-8: mark, kana, one-way, 4 bytes, cut short
  '\xed\xa0\x80\xc0\xaf\xf4\x90\x80\x80\x80\xe0\x80\x80\xe3\x80\x93\x1b$B'    # UTF-8: surrogate, overlong, too high
  '\xff\xfe\x42\x30\x0d\x00\x0a\x00\x3d\xd8\x00\xde\x00\xdc\x41'        # UTF-16LE: mark, line end, pair, lone low, odd byte
  '\xfe\xff\x30\x42\x00\x0d\xd8\x3d\x00\x41\xff\x5e'                    # UTF-16BE: lone high
)
headers=('\x02\x00\x0c\x00' '\x01\x00\x0c\x00' '\x1b\x00\x04\x01' '\x09\x15\x03\x05' '\x34\x6a\x3c\x00'
         '\x00\x00\x00\x00' '\x42\x00\x00\x00' '\x8f\x00\x05\x03' '\x24\x00\x2c\x00' '\x23\x00\x20\x02'
         '\x44\x00\x00\x00')
n=0
for header in "${headers[@]}"; do
  for text in "${texts[@]}"; do
    printf "$header$text" >"$seeds/gen-$n"
    n=$((n + 1))
  done
  for sample in samples/*.txt; do
    [ -f "$sample" ] || continue
    { printf "$header"; head -c 2048 "$sample"; } >"$seeds/sample-$n"
    n=$((n + 1))
  done
done

status=0
"$dir/bin/zekt_fuzz" -max_total_time="$seconds" -timeout=10 -max_len=4096 \
  -print_final_stats=1 -artifact_prefix="$dir/artifacts/" \
  "$dir/corpus" "$seeds" >"$dir/fuzz.log" 2>&1 || status=$?
if [ "$status" -ne 0 ]; then
  tail -n 60 "$dir/fuzz.log" >&2
  echo "fuzz.sh: the fuzzer found a problem (status $status); see $dir/fuzz.log and $dir/artifacts/" >&2
  exit 1
fi
grep -E '^Done [0-9]+ runs|stat::number_of_executed_units|stat::peak_rss_mb' "$dir/fuzz.log"
