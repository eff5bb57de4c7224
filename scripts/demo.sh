#!/usr/bin/env bash
# A short tour of zekt over the samples: what each file is, then one
# conversion shown as text a person can read. `make demo` builds first.
set -euo pipefail
cd "$(dirname "$0")/.."

zekt=${ZEKT:-build/bin/zekt}  # ZEKT=path runs another build
if [ ! -x "$zekt" ]; then
  echo "demo: $zekt not found; run 'make demo' (it builds first)" >&2
  exit 1
fi

heading() { printf '\n== %s ==\n' "$1"; }

# Shows converted bytes as UTF-8 when iconv is there, as octal bytes otherwise.
show_euc() {
  if command -v iconv >/dev/null 2>&1; then
    iconv -f EUC-JP -t UTF-8
  else
    od -An -c
  fi
}

heading "zekt -v"
"$zekt" -v
echo

heading "Check mode: code, line end and features of each sample"
for f in samples/*.txt; do
  echo "\$ zekt -c $f"
  "$zekt" -c "$f"
done

heading "JIS note -> EUC with LF (zekt -e -lf samples/note-jis.txt | iconv -f EUC-JP -t UTF-8)"
"$zekt" -e -lf samples/note-jis.txt | show_euc

heading "Shift-JIS weather note -> EUC, circled numbers spelled portably (-xNOWIN)"
"$zekt" -e -lf -xNOWIN samples/weather-sjis.txt | show_euc

heading "EUC shopping list -> EUC, half-width katakana widened (-X)"
"$zekt" -e -lf -X samples/shopping-euc.txt | show_euc

heading "The shopping list converted to JIS, checked again through a pipe"
echo "\$ zekt -j samples/shopping-euc.txt | zekt -c"
"$zekt" -j samples/shopping-euc.txt | "$zekt" -c
