#!/usr/bin/env bash
# Builds the Debian packages from the Release build, zubqr and the WeChat
# engine's reader, and checks them: their metadata and contents (dpkg-deb
# -I/-c), lintian without errors or warnings, and the programs run from the
# unpacked trees, with and without the reader. As root in CI (a throw-away
# machine) the packages are also installed with dpkg -i, the program
# alone first, used, and removed with dpkg -P, and nothing of them may be
# left behind.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/release}

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" -j "$(nproc)" >/dev/null
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
(cd "$build" && cpack -G DEB -B "$work/out" >/dev/null)
deb=$(ls "$work"/out/zubqr_*.deb)
reader=$(ls "$work"/out/zubqr-wechat-reader_*.deb)
echo "packages: $(basename "$deb") $(basename "$reader")"

fail() { echo "package-test: $*" >&2; exit 1; }

info=$(dpkg-deb -I "$deb")
field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = zubqr ] || fail "Package is not zubqr"
version=$(sed -n 's/^project(ZubQR VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
[ "$(field Version)" = "$version-1" ] || fail "Version $(field Version), not $version-1"
depends=$(field Depends)
for lib in libqt6widgets6 libqt6gui6 libpng16-16 libjpeg62-turbo libzbar0 qt6-qpa-plugins; do
  grep -q "\b$lib\b" <<<"$depends" || fail "Depends lacks $lib: $depends"
done
recommends=$(field Recommends)
grep -q fonts-wqy-microhei <<<"$recommends" || fail "Recommends lacks a CJK font: $recommends"
grep -q qt6-translations-l10n <<<"$recommends" || fail "Recommends lacks Qt's translations"
grep -q '^ Description:' <<<"$info" || fail "no Description"
# Nothing of OpenCV, and so nothing of what it brings, comes with the
# program: the WeChat engine's reader is recommended, in its own package.
for field in Depends Pre-Depends; do
  if grep -Eq 'libopencv|hdf5|libqt5' <<<"$(field $field)"; then
    fail "$field of zubqr names OpenCV, HDF5 or Qt 5: $(field $field)"
  fi
done
grep -q '\bzubqr-wechat-reader\b' <<<"$recommends" || fail "Recommends lacks the WeChat engine's reader"
rfield() { dpkg-deb -f "$reader" "$1"; }
[ "$(rfield Package)" = zubqr-wechat-reader ] || fail "the reader's package is $(rfield Package)"
grep -q "\bzubqr (= $version-1)" <<<"$(rfield Depends)" || fail "the reader does not depend on this zubqr: $(rfield Depends)"
grep -q '\blibopencv-contrib' <<<"$(rfield Depends)" || fail "the reader does not depend on OpenCV's contrib libraries"
# Debian's Description: the summary, then lines indented by one space,
# paragraphs apart with " ." (no list joined by ";"), naming the readers.
for package in "$deb" "$reader"; do
  description=$(dpkg-deb -f "$package" Description)
  if grep -q '^ *;' <<<"$description"; then
    fail "a line of $(basename "$package")'s Description begins with ';'"
  fi
  tail -n +2 <<<"$description" | grep -qv '^ ' && fail "a Description line is not indented"
  grep -qx ' \.' <<<"$description" || fail "the Description of $(basename "$package") has one paragraph"
  for name in zxing-cpp zbar 'WeChat engine from OpenCV'; do
    grep -q "$name" <<<"$description" || fail "the Description of $(basename "$package") does not name $name"
  done
done

contents=$(dpkg-deb -c "$deb")
for path in ./usr/bin/zubqr ./usr/bin/zubqr-gui ./usr/lib/zubqr-gui/zubqr-compose.so \
  ./usr/lib/zubqr-gui/zubqr-readers.so ./usr/share/doc/zubqr/copyright \
  ./usr/share/doc/zubqr/changelog.Debian.gz ./usr/share/man/man1/zubqr.1.gz \
  ./usr/share/applications/zubqr-gui.desktop \
  ./usr/share/metainfo/example.zub.zubqr_gui.metainfo.xml; do
  grep -q " $path\$" <<<"$contents" || fail "the package lacks $path"
done
grep -q 'All rights reserved' <(dpkg-deb --fsys-tarfile "$deb" | tar -xO ./usr/share/doc/zubqr/copyright) ||
  fail "the copyright file does not carry the licence"
rcontents=$(dpkg-deb -c "$reader")
for path in ./usr/lib/zubqr-gui/zubqr-wechat.so ./usr/share/doc/zubqr-wechat-reader/copyright \
  ./usr/share/doc/zubqr-wechat-reader/changelog.Debian.gz; do
  grep -q " $path\$" <<<"$rcontents" || fail "the reader's package lacks $path"
done
[ "$(grep -vc '/$' <<<"$rcontents")" -eq 4 ] || fail "the reader's package holds more: $rcontents"
grep -q 'zubqr-wechat.so' <<<"$contents" && fail "zubqr holds the WeChat engine's module"

# lintian: no errors and no warnings. The one tag overridden, in the
# packages' own override files: initial-upload-closes-no-bugs, for the
# packages are the studio's, not uploaded to Debian, and no bug asks for
# them.
lintian --tag-display-limit 0 "$deb" "$reader" >"$work/lintian.txt" 2>&1 || true
cat "$work/lintian.txt"
if grep -Eq '^[EW]:' "$work/lintian.txt"; then
  fail "lintian reports errors or warnings"
fi

# Neither the window's readers nor the command line's module link OpenCV.
root="$work/root"
dpkg-deb -x "$deb" "$root"
for module in zubqr-readers.so zubqr-compose.so; do
  if readelf -d "$root/usr/lib/zubqr-gui/$module" | grep NEEDED | grep -q opencv; then
    fail "$module links OpenCV"
  fi
done

# What `zubqr compose --readable --verbose` (at $1) says of its check:
# without the WeChat engine that it used two readers, naming the package;
# the code it writes scans all the same.
two='the WeChat engine from OpenCV is not installed (package zubqr-wechat-reader), so this check used two readers: zxing-cpp and zbar.'
composes() {
  local said
  said=$(LC_ALL=C "$1" compose --readable --verbose "$2" --logo assets/default-logo-64.png -o "$work/c.png" 2>&1) ||
    fail "$1 compose: $said"
  [ "$(LC_ALL=C "$1" read "$work/c.png")" = "$2" ] || fail "$1 cannot read its composite"
  echo "$said"
}

# The unpacked tree works as installed: zubqr finds its module under lib/;
# without the reader's package the check uses two readers and says so.
"$root/usr/bin/zubqr" encode packaged --scale 4 -o "$work/p.png"
[ "$("$root/usr/bin/zubqr" read "$work/p.png")" = packaged ] || fail "the unpacked zubqr cannot read"
"$root/usr/bin/zubqr-gui" --version | grep -q "^zubqr-gui $version\$" || fail "zubqr-gui --version"
said=$(composes "$root/usr/bin/zubqr" unpacked)
[ "$(grep -cxF "zubqr compose: $two" <<<"$said")" -eq 1 ] ||
  fail "zubqr without the reader's package does not say once it checked with two readers: $said"
# With it, three: nothing said of a reader missing.
dpkg-deb -x "$reader" "$root"
said=$(composes "$root/usr/bin/zubqr" "unpacked with the reader")
grep -q 'two readers\|WeChat' <<<"$said" && fail "zubqr with the reader's package says: $said"

if [ "${CI:-}" = true ] && [ "$(id -u)" -eq 0 ] && ! dpkg-query -W zubqr >/dev/null 2>&1; then
  before=$(mktemp)
  find /usr /etc -xdev 2>/dev/null | sort >"$before"
  # The program alone: its Depends name nothing of OpenCV, and its check
  # uses two readers.
  dpkg -i "$deb" >/dev/null
  /usr/bin/zubqr encode installed --scale 4 -o "$work/i.png"
  [ "$(/usr/bin/zubqr read "$work/i.png")" = installed ] || fail "the installed zubqr cannot read"
  said=$(composes /usr/bin/zubqr installed)
  [ "$(grep -cxF "zubqr compose: $two" <<<"$said")" -eq 1 ] ||
    fail "the installed zubqr alone does not say once it checked with two readers: $said"
  dpkg -i "$reader" >/dev/null
  said=$(composes /usr/bin/zubqr "installed with the reader")
  grep -q 'two readers\|WeChat' <<<"$said" && fail "the installed zubqr with the reader says: $said"
  dpkg -P zubqr-wechat-reader zubqr >/dev/null
  after=$(mktemp)
  find /usr /etc -xdev 2>/dev/null | sort >"$after"
  if ! diff "$before" "$after" >"$work/left.txt"; then
    cat "$work/left.txt" >&2
    fail "dpkg -P left files behind"
  fi
  dpkg-query -W zubqr >/dev/null 2>&1 && fail "dpkg still knows zubqr"
  dpkg-query -W zubqr-wechat-reader >/dev/null 2>&1 && fail "dpkg still knows zubqr-wechat-reader"
  rm -f "$before" "$after"
  echo "installed, used and removed without a trace"
fi
echo "package-test: passed"
