#!/usr/bin/env bash
# check_mappings_against_glibc.sh: asks this machine's glibc (the iconv
# program) again for the mappings in data/mappings/ and shows where it now
# differs from them. Not part of CI: another glibc may well map differently,
# and that is what this is for finding out (then
# `scripts/gen_unicode_tables.py --extract` refreshes the data). Without an
# iconv program there is nothing to ask: it says so and exits 0.
set -euo pipefail
cd "$(dirname "$0")/.."
if ! command -v iconv >/dev/null; then
  echo "check_mappings_against_glibc.sh: no iconv program here, nothing compared"
  exit 0
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
if ! python3 scripts/gen_unicode_tables.py --extract "$work" 2>"$work/log"; then
  cat "$work/log" >&2
  exit 1
fi
glibc=$(iconv --version | head -n 1)
status=0
for file in data/mappings/*.txt; do
  # The mappings alone: the opening comment names the glibc they came from.
  if ! diff -u --label "$file" --label "$glibc" <(grep -v '^#' "$file") <(grep -v '^#' "$work/${file##*/}") >"$work/diff"; then
    echo "$file differs from $glibc ($(grep -c '^[-+]0x' "$work/diff") lines):"
    head -n 40 "$work/diff"
    status=1
  fi
done
[ "$status" -ne 0 ] || echo "data/mappings/ agrees with $glibc"
exit "$status"
