#!/usr/bin/env bash
# The Debian packages as cpack builds them from this build: each holds what
# it is for; together they hold the whole install, no file in two (or they
# could not be installed together); and each is as Debian wants it: its own
# copyright and changelog, man pages compressed, binaries stripped, the
# library not executable and its package named after its SONAME, with
# shlibs and the ldconfig trigger, and no maintainer scripts. Without
# dpkg-shlibdeps, which is `make package`'s alone, and with gzip, quicker
# than xz.
#   packages_test.sh BUILD_DIR LIBDIR VERSION GUI(0|1) CMAKE CPACK
set -euo pipefail
build=$1 libdir=$2 version=$3 gui=$4 cmake=$5 cpack=$6
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

if ! "$cpack" -G DEB --config "$build/CPackConfig.cmake" -B "$work/out" \
  -D CPACK_DEBIAN_PACKAGE_SHLIBDEPS=OFF -D CPACK_DEBIAN_COMPRESSION_TYPE=gzip >"$work/cpack.log" 2>&1; then
  cat "$work/cpack.log"
  exit 1
fi

status=0
fail() {
  echo "$*"
  status=1
}

lib=usr/$libdir
# package|section|files it holds at least
packages=(
  "zekt|text|usr/bin/zekt usr/share/man/man1/zekt.1.gz usr/share/bash-completion/completions/zekt"
  "libzekt1|libs|$lib/libzekt.so.1 $lib/libzekt.so.1.1.0"
  "libzekt-dev|libdevel|$lib/libzekt.so usr/include/zekt/zekt.h usr/include/zekt/zekt.hpp $lib/pkgconfig/zekt.pc
   $lib/cmake/zekt/zektConfig.cmake $lib/cmake/zekt/zektConfigVersion.cmake $lib/cmake/zekt/zektTargets.cmake
   usr/share/man/man3/zekt.3.gz usr/share/doc/libzekt-dev/libzekt.md usr/share/doc/libzekt-dev/zekt_stream.c
   usr/share/doc/libzekt-dev/zekt_detect.c usr/share/doc/libzekt-dev/CMakeLists.txt"
)
if [ "$gui" = 1 ]; then
  packages[0]+=" usr/bin/ZektWin usr/share/man/man1/ZektWin.1.gz usr/share/applications/zektwin.desktop
    usr/share/icons/hicolor/scalable/apps/zektwin.svg usr/share/icons/hicolor/256x256/apps/zektwin.png"
fi

debs=("$work"/out/*.deb)
[ ${#debs[@]} -eq ${#packages[@]} ] || fail "${#debs[@]} packages built: ${debs[*]##*/}"

for entry in "${packages[@]}"; do
  name=${entry%%|*} rest=${entry#*|}
  section=${rest%%|*} files=${rest#*|}
  deb=$(echo "$work/out/${name}_${version}_"*.deb)
  if [ ! -f "$deb" ]; then
    fail "$name: no ${name}_${version}_*.deb"
    continue
  fi
  root=$work/root/$name control=$work/control/$name
  mkdir -p "$root" "$control"
  dpkg-deb -x "$deb" "$root"
  dpkg-deb -e "$deb" "$control"
  (cd "$root" && find . ! -type d | sed 's|^\./||' | sort) >"$work/$name.files"

  [ "$(dpkg-deb -f "$deb" Section)" = "$section" ] || fail "$name: section $(dpkg-deb -f "$deb" Section)"
  for file in $files usr/share/doc/$name/copyright usr/share/doc/$name/changelog.gz; do
    [ -e "$root/$file" ] || [ -L "$root/$file" ] || fail "$name: no $file"
  done
  if [ -f "$root/usr/share/doc/$name/changelog.gz" ]; then
    first=$(gzip -dc "$root/usr/share/doc/$name/changelog.gz" | head -n 1)
    [[ $first == "$name ($version) "* ]] || fail "$name: changelog begins '$first'"
  fi
  plain=$(grep '^usr/share/man/' "$work/$name.files" | grep -v '\.gz$' || true)
  [ -z "$plain" ] || fail "$name: not compressed: $plain"
  for script in preinst postinst prerm postrm; do
    [ ! -e "$control/$script" ] || fail "$name: has a $script"
  done

  while read -r file; do
    path=$root/$file
    if [ -L "$path" ] || ! cmp -s -n 4 "$path" <(printf '\177ELF'); then
      continue
    fi
    sections=$(readelf -S "$path")
    [[ $sections != *" .symtab "* ]] || fail "$name: $file not stripped"
    if [[ $file == *.so.* ]]; then
      [ "$(stat -c %a "$path")" = 644 ] || fail "$name: $file mode $(stat -c %a "$path")"
      soname=$(readelf -d "$path" | sed -n 's/.*(SONAME).*\[\(.*\)\]/\1/p')
      # libzekt.so.1 -> libzekt 1 -> package libzekt1
      base=${soname%.so.*} major=${soname##*.so.}
      [ "$name" = "$base$major" ] || fail "$name: holds $soname"
      grep -qx "$base $major $name (>= $version)" "$control/shlibs" 2>/dev/null ||
        fail "$name: shlibs does not name $soname"
      grep -qx 'activate-noawait ldconfig' "$control/triggers" 2>/dev/null || fail "$name: no ldconfig trigger"
    fi
  done <"$work/$name.files"
done

[[ $(dpkg-deb -f "$work/out/libzekt-dev_${version}_"*.deb Depends 2>/dev/null) == *"libzekt1 (= $version)"* ]] ||
  fail "libzekt-dev does not depend on libzekt1 (= $version)"

# Every file installed is in one package, and one only. A package's own
# files, copyright and changelog, are not installed; man pages are, but
# not compressed.
DESTDIR=$work/full "$cmake" --install "$build" --prefix /usr >/dev/null
(cd "$work/full" && find . ! -type d | sed 's|^\./||' | sort) >"$work/installed"
cat "$work"/*.files | grep -Ev '^usr/share/doc/[^/]+/(copyright|changelog\.gz)$' |
  sed -E 's|^(usr/share/man/.*)\.gz$|\1|' | sort >"$work/packaged"
twice=$(uniq -d "$work/packaged")
[ -z "$twice" ] || fail "in two packages: $twice"
dropped=$(comm -23 "$work/installed" <(sort -u "$work/packaged"))
[ -z "$dropped" ] || fail "installed but in no package: $dropped"
extra=$(comm -13 "$work/installed" <(sort -u "$work/packaged"))
[ -z "$extra" ] || fail "packaged but not installed: $extra"
exit $status
