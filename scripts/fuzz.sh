#!/usr/bin/env bash
# fuzz.sh SECONDS: builds the libFuzzer target with clang in build-fuzz and runs
# it for SECONDS (default 300) from seeds made of settings headers and the
# checked-in corpus of text in every code (tests/fuzz/seeds) and the samples.
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
headers=('\x02\x00\x0c\x00' '\x01\x00\x0c\x00' '\x1b\x00\x04\x01' '\x09\x15\x03\x05' '\x34\x6a\x3c\x00'
         '\x00\x00\x00\x00' '\x42\x00\x00\x00' '\x8f\x00\x05\x03' '\x24\x00\x2c\x00' '\x23\x00\x20\x02'
         '\x44\x00\x00\x00' '\x2f\x09\x15\x03' '\x00\x80\x07\x05')
n=0
for header in "${headers[@]}"; do
  for sample in tests/fuzz/seeds/* samples/*.txt; do
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
