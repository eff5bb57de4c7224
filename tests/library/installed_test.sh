#!/usr/bin/env bash
# libzekt as another program sees it: installed under a fresh prefix, it
# exports the API alone under the SONAME libzekt.so.1; the examples build
# against it with pkg-config and with find_package from a project of their
# own, and write what zekt writes.
#   installed_test.sh BUILD_DIR SOURCE_DIR ZEKT
set -euo pipefail
build=$1 source=$2 zekt=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix
cmake --install "$build" --prefix "$prefix" >/dev/null
lib=$(find "$prefix" -name 'libzekt.so.1' | head -n 1)
[ -n "$lib" ] || { echo "no libzekt.so.1 installed"; exit 1; }
libdir=$(dirname "$(readlink -f "$lib")")

soname=$(readelf -d "$lib" | sed -n 's/.*(SONAME).*\[\(.*\)\]/\1/p')
[ "$soname" = libzekt.so.1 ] || { echo "SONAME $soname"; exit 1; }
others=$(nm -D --defined-only "$lib" | awk '{print $3}' | grep -v '^zekt_' || true)
[ -z "$others" ] || { echo "exported beside the API:"; echo "$others"; exit 1; }

export PKG_CONFIG_PATH=$libdir/pkgconfig LD_LIBRARY_PATH=$libdir
mkdir "$work/pc"
for example in zekt_stream zekt_detect; do
  # shellcheck disable=SC2046 # the flags are words
  cc -std=c99 -Wall -Werror -o "$work/pc/$example" "$source/examples/$example.c" $(pkg-config --cflags --libs zekt)
done
cmake -S "$source/examples" -B "$work/cm" -DCMAKE_PREFIX_PATH="$prefix" >/dev/null
cmake --build "$work/cm" >/dev/null

status=0
for sample in "$source"/samples/*.txt "$source"/tests/fuzz/seeds/*; do
  for options in "" "-u8 -lf" "-e -Z"; do
    for bin in "$work/pc" "$work/cm"; do
      # shellcheck disable=SC2086 # the options are words
      if ! cmp -s <("$bin/zekt_stream" "$options" <"$sample" || true) <("$zekt" $options <"$sample" 2>/dev/null || true); then
        echo "zekt_stream '$options' differs from zekt on $sample ($bin)"
        status=1
      fi
    done
  done
  if ! cmp -s <("$work/cm/zekt_detect" "$sample" 2>/dev/null || true) <("$zekt" -c "$sample" 2>/dev/null || true); then
    echo "zekt_detect differs from zekt -c on $sample"
    status=1
  fi
done
exit $status
