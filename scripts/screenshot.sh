#!/usr/bin/env bash
# screenshot.sh [BUILD_DIR]: docs/zektwin.png, the real ZektWin window under
# Xvfb, its log filled by converting four sample files handed on the
# command line, one of whose names is taken in the output folder.
set -euo pipefail
cd "$(dirname "$0")/.."
dir=${1:-build-gui}

# Xvfb, ImageMagick's import and a Japanese font (else the texts are boxes).
bash scripts/install-missing.sh xvfb imagemagick x11-utils fonts-ipafont-gothic

[ -f "$dir/CMakeCache.txt" ] || cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$dir" -j 2 --target ZektWin

work=$(mktemp -d)
pids=()
cleanup() {
  # ZektWin before its X server, so that it ends quietly.
  for ((i = ${#pids[@]} - 1; i >= 0; i--)); do kill "${pids[i]}" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT

# Samples: Japanese in EUC and in Shift-JIS, and a file that is not text.
printf '\xc6\xfc\xcb\xdc\xb8\xec\n' >"$work/日本語.txt"
printf '\x93\xfa\x96\x7b\x8c\xea\r\n' >"$work/sjis.txt"
printf 'PNG\0\0\1\2' >"$work/image.bin"
mkdir "$work/tree"
printf '\xa4\xa2\xa4\xa4\n' >"$work/tree/memo.txt"
# A home of its own: the output folder (Documents/ZektWin) and the settings.
mkdir -p "$work/home/Documents/ZektWin" "$work/config"
printf 'old\n' >"$work/home/Documents/ZektWin/sjis.txt"
mkdir -m 700 "$work/runtime"

# -displayfd picks a free display, so other X servers are left alone.
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" 2>/dev/null &
pids+=($!)
for _ in $(seq 50); do [ -s "$work/display" ] && break; sleep 0.1; done
export DISPLAY=":$(cat "$work/display")"

LANG=C.UTF-8 HOME="$work/home" XDG_CONFIG_HOME="$work/config" XDG_RUNTIME_DIR="$work/runtime" \
  QT_QPA_PLATFORM=xcb "$dir/bin/ZektWin" "$work/日本語.txt" "$work/sjis.txt" "$work/image.bin" "$work/tree" &
pids+=($!)
window=""
for _ in $(seq 100); do
  window=$(xwininfo -root -tree | awk '/"ZektWin": \("ZektWin"/ {print $1; exit}')
  [ -n "$window" ] && break
  sleep 0.1
done
[ -n "$window" ] || { echo "ZektWin did not show its window" >&2; exit 1; }
sleep 1  # the files are handled and the log laid out after the window shows
mkdir -p docs
timeout 30 import -window "$window" docs/zektwin.png
echo "docs/zektwin.png: $(identify -format '%wx%h' docs/zektwin.png)"
