#!/usr/bin/env bash
# A short tour of zekt over the samples: what each file is, then
# conversions shown as UTF-8 text a person can read. `make demo` builds
# first.
set -euo pipefail
cd "$(dirname "$0")/.."

zekt=${ZEKT:-build/bin/zekt}  # ZEKT=path runs another build
if [ ! -x "$zekt" ]; then
  echo "demo: $zekt not found; run 'make demo' (it builds first)" >&2
  exit 1
fi

heading() { printf '\n== %s ==\n' "$1"; }

heading "zekt -v"
"$zekt" -v
echo

heading "Check mode: code, line end and features of each sample"
for f in samples/*.txt; do
  echo "\$ zekt -c $f"
  "$zekt" -c "$f"
done

heading "JIS note -> UTF-8 with LF (zekt -u8 -lf samples/note-jis.txt)"
"$zekt" -u8 -lf samples/note-jis.txt

heading "Shift-JIS weather note -> UTF-8, circled numbers spelled portably (-xNOWIN)"
"$zekt" -u8 -lf -xNOWIN samples/weather-sjis.txt

heading "EUC shopping list -> UTF-8, half-width katakana widened (-X)"
"$zekt" -u8 -lf -X samples/shopping-euc.txt

heading "UTF-8 notice -> Shift-JIS with CR+LF -> UTF-8 again (-xMS keeps Windows' wave dash)"
echo "\$ zekt -s -xMS samples/notice-utf8.txt | zekt -u8 -lf -xMS"
"$zekt" -s -xMS samples/notice-utf8.txt | "$zekt" -u8 -lf -xMS | tee "${TMPDIR:-/tmp}/zekt-demo-roundtrip.txt"
if cmp -s samples/notice-utf8.txt "${TMPDIR:-/tmp}/zekt-demo-roundtrip.txt"; then
  echo "(identical to the original)"
else
  echo "(differs from the original)"
fi
rm -f "${TMPDIR:-/tmp}/zekt-demo-roundtrip.txt"
echo "\$ zekt -s samples/notice-utf8.txt | zekt -u8 -lf | grep 平日   # without -xMS: JIS X 0212's tilde, which Shift-JIS lacks"
"$zekt" -s samples/notice-utf8.txt | "$zekt" -u8 -lf | grep 平日

heading "The shopping list converted to JIS, checked again through a pipe"
echo "\$ zekt -j samples/shopping-euc.txt | zekt -c"
"$zekt" -j samples/shopping-euc.txt | "$zekt" -c
