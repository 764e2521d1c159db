#!/bin/sh
# Installs the build into a staging directory (DESTDIR) and checks every installed file.
# usage: install_test.sh CMAKE BUILD_DIR PREFIX IMAGE_DIR DATA_DIR BINDIR DATADIR
set -u
cmake=$1 build=$2 prefix=$3 image_dir=$4 data=$5 bindir=$6 datadir=$7
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

DESTDIR=$stage "$cmake" --install "$build" >"$stage.log" 2>&1 || { cat "$stage.log" >&2; rm -f "$stage.log"; fail "cmake --install failed"; }
rm -f "$stage.log"

case $bindir in /*) ;; *) bindir=$prefix/$bindir ;; esac
case $datadir in /*) ;; *) datadir=$prefix/$datadir ;; esac
program=$stage$bindir/zorivivudidider
[ -x "$program" ] || fail "no program at $program"
# The installed program loads its pictures from the installed directory, not the source tree.
grep -q -F -a "$image_dir" "$program" || fail "the installed program does not name $image_dir"
grep -q -F -a "$data" "$program" && fail "the installed program names the source tree $data"
for picture in DovezuVevuDuze100v49.png ZuveduDereduRARuruDezov.png; do
  cmp -s "$data/$picture" "$stage$image_dir/$picture" || fail "$picture is not installed in $image_dir"
done
id=org.example.ZoriviVudiDider
cmp -s "$data/$id.desktop" "$stage$datadir/applications/$id.desktop" || fail "desktop entry not installed"
cmp -s "$data/$id.metainfo.xml" "$stage$datadir/metainfo/$id.metainfo.xml" || fail "metainfo not installed"
cmp -s "$data/$id.png" "$stage$datadir/icons/hicolor/128x128/apps/$id.png" || fail "icon not installed"
echo "ok: installed into $stage$prefix"
