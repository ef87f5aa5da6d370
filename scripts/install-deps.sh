#!/usr/bin/env bash
# Installs what building, running and testing need on a fresh Debian 12 machine.
# Safe to run again: packages that are present are skipped by apt.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config ccache
  qt6-base-dev qt6-base-dev-tools libqt6svg6 qt6-qpa-plugins
  libgl-dev libxkbcommon-dev
  libzxing-dev zbar-tools libzbar-dev libjpeg-dev libpng-dev qt6-svg-dev
  libopencv-contrib406 libopencv-core-dev libopencv-imgproc-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  clang-14 libclang-rt-14-dev clang-format valgrind
  xvfb xauth fonts-wqy-microhei qt6-translations-l10n
  dbus-x11
  desktop-file-utils appstream man-db groff-base bash-completion
  openbox xdotool x11-utils
  qt6-gtk-platformtheme gnome-themes-extra
  dpkg-dev file lintian hyperfine time
  # A second renderer of the vector composite, for the tests: librsvg's.
  librsvg2-bin
  # The phone readers' parsers of the Java ZXing core, a test oracle of the
  # texts of forms (Wi-Fi, contact cards...), and Java to compile and run it.
  default-jdk-headless libzxing-core-java
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo_cmd=""
  [ "$(id -u)" -ne 0 ] && sudo_cmd="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $sudo_cmd apt-get update -qq
  $sudo_cmd apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# The third reader's one header. Its library comes with libopencv-contrib406;
# the header alone is in libopencv-contrib-dev, which would bring some 170
# packages (VTK, MPI, GDAL, FFmpeg) for this 2.5 kB file. So the header is
# taken from Debian's own package, downloaded with apt, and nothing else of it.
header=/usr/local/include/opencv4/opencv2/wechat_qrcode.hpp
if [ ! -f "$header" ] && [ ! -f /usr/include/opencv4/opencv2/wechat_qrcode.hpp ]; then
  sudo_cmd=""
  [ "$(id -u)" -ne 0 ] && sudo_cmd="sudo"
  work=$(mktemp -d)
  chmod 777 "$work"
  (cd "$work" && apt-get download -qq libopencv-contrib-dev)
  dpkg-deb --fsys-tarfile "$work"/libopencv-contrib-dev_*.deb |
    tar -x -C "$work" ./usr/include/opencv4/opencv2/wechat_qrcode.hpp
  $sudo_cmd install -D -m 0644 "$work/usr/include/opencv4/opencv2/wechat_qrcode.hpp" "$header"
  rm -rf "$work"
fi
