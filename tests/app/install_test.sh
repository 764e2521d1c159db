#!/bin/sh
# SPDX-License-Identifier: MIT
# Installs the build into a staging directory (DESTDIR), checks every installed file, and
# starts the staged program on the test display: it must show the staged pictures, which
# it finds beside its own directory although they are not (yet) where IMAGE_DIR says.
# usage: install_test.sh CMAKE BUILD_DIR PREFIX IMAGE_DIR DATA_DIR BINDIR DATADIR MANDIR DOCDIR XWIN
set -u
cmake=$1 build=$2 prefix=$3 image_dir=$4 data=$5 bindir=$6 datadir=$7 mandir=$8 docdir=$9 xwin=${10}
here=$(cd "$(dirname "$0")" && pwd)
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

stage=$tmp/root
DESTDIR=$stage "$cmake" --install "$build" >"$tmp/log" 2>&1 || { cat "$tmp/log" >&2; fail "cmake --install failed"; }
abs() { case $1 in /*) echo "$1" ;; *) echo "$prefix/$1" ;; esac; }
bindir=$(abs "$bindir") datadir=$(abs "$datadir") mandir=$(abs "$mandir") docdir=$(abs "$docdir")
program=$stage$bindir/zorivivudidider
[ -x "$program" ] || fail "no program at $program"
# The installed program loads its pictures from the installed directory, not the source tree.
grep -q -F -a "$image_dir" "$program" || fail "the installed program does not name $image_dir"
grep -q -F -a "$data" "$program" && fail "the installed program names the source tree $data"
for picture in DovezuVevuDuze100v49.png ZuveduDereduRARuruDezov.png DovezuVevuDuze100v49@2x.png ZuveduDereduRARuruDezov@2x.png; do
  cmp -s "$data/$picture" "$stage$image_dir/$picture" || fail "$picture is not installed in $image_dir"
done
id=org.example.ZoriviVudiDider
cmp -s "$build/po/$id.desktop" "$stage$datadir/applications/$id.desktop" || fail "desktop entry not installed"
cmp -s "$build/po/$id.metainfo.xml" "$stage$datadir/metainfo/$id.metainfo.xml" || fail "metainfo not installed"
grep -qx "StartupWMClass=$id" "$stage$datadir/applications/$id.desktop" || fail "no StartupWMClass=$id"
for size in 16 24 32 48 64 128 256; do
  identify -format %wx%h "$stage$datadir/icons/hicolor/${size}x$size/apps/$id.png" | grep -qx "${size}x$size" ||
    fail "no $size px icon"
done
# The manual page and the changelog are compressed without a time stamp (gzip -n).
for f in "$mandir/man1/zorivivudidider.1.gz" "$docdir/changelog.gz"; do
  [ "$(od -A n -t u4 -j 4 -N 4 "$stage$f" 2>/dev/null | tr -d ' ')" = 0 ] ||
    fail "$f is missing or carries a time stamp"
done
grep -q "^License: MIT" "$stage$docdir/copyright" || fail "no MIT copyright file in $docdir"
"$here/process_test.sh" "$program" "$xwin" pictures || fail "the staged program did not show its pictures"
# Its catalogues too, beside it: the prefix's own share/locale holds none yet.
LANG=de_DE.UTF-8 "$program" --help | grep -q "Name und Version des Programms" || fail "no German from $program"
echo "ok: installed into $stage$prefix"
