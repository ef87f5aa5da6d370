#!/usr/bin/env bash
# Builds the Debian package from the Release build and checks it: its
# metadata and contents (dpkg-deb -I/-c), lintian without errors, and the
# programs run from the unpacked tree. As root in CI (a throw-away machine)
# the package is also installed with dpkg -i, used, and removed with
# dpkg -P, and nothing of it may be left behind.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/release}

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" -j "$(nproc)" >/dev/null
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
(cd "$build" && cpack -G DEB -B "$work/out" >/dev/null)
deb=$(ls "$work"/out/zubqr_*.deb)
echo "package: $(basename "$deb")"

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

# lintian: no errors (warnings and notes are reported, not fatal).
lintian --tag-display-limit 0 "$deb" >"$work/lintian.txt" 2>&1 || true
cat "$work/lintian.txt"
if grep -q '^E:' "$work/lintian.txt"; then
  fail "lintian reports errors"
fi

# The unpacked tree works as installed: zubqr finds its module under lib/.
root="$work/root"
dpkg-deb -x "$deb" "$root"
"$root/usr/bin/zubqr" encode packaged --scale 4 -o "$work/p.png"
[ "$("$root/usr/bin/zubqr" read "$work/p.png")" = packaged ] || fail "the unpacked zubqr cannot read"
"$root/usr/bin/zubqr-gui" --version | grep -q "^zubqr-gui $version\$" || fail "zubqr-gui --version"

if [ "${CI:-}" = true ] && [ "$(id -u)" -eq 0 ] && ! dpkg-query -W zubqr >/dev/null 2>&1; then
  before=$(mktemp)
  find /usr /etc -xdev 2>/dev/null | sort >"$before"
  dpkg -i "$deb" >/dev/null
  /usr/bin/zubqr encode installed --scale 4 -o "$work/i.png"
  [ "$(/usr/bin/zubqr read "$work/i.png")" = installed ] || fail "the installed zubqr cannot read"
  dpkg -P zubqr >/dev/null
  after=$(mktemp)
  find /usr /etc -xdev 2>/dev/null | sort >"$after"
  if ! diff "$before" "$after" >"$work/left.txt"; then
    cat "$work/left.txt" >&2
    fail "dpkg -P left files behind"
  fi
  dpkg-query -W zubqr >/dev/null 2>&1 && fail "dpkg still knows zubqr"
  rm -f "$before" "$after"
  echo "installed, used and removed without a trace"
fi
echo "package-test: passed"
