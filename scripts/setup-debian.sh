#!/usr/bin/env bash
# Installs every Debian package the build, the tests, the benchmarks, the fuzzers and the
# application need. Idempotent: packages already present are left alone.
set -euo pipefail

PACKAGES=(
  # toolchain
  build-essential cmake ninja-build pkg-config git
  clang libclang-rt-14-dev clang-format clang-tidy clazy
  # Qt 6: base, tools, translations, SVG
  qt6-base-dev qt6-base-dev-tools qt6-tools-dev qt6-tools-dev-tools qt6-l10n-tools
  qt6-svg-dev libgl-dev
  # Qt UiTools (interface files at run time) needs the OpenGL development files
  libqt6opengl6-dev
  # devices and the catalogue
  libhidapi-dev libudev-dev libplist-dev libplist++-dev
  # tests and benchmarks (umockdev emulates hidraw nodes for the hidapi backend's test)
  googletest libgtest-dev libgmock-dev libbenchmark-dev umockdev libumockdev-dev
  # the start-up benchmark watches its own Xvfb through xcb; profilers for the performance notes
  libxcb1-dev valgrind linux-perf
  # desktop integration and the Debian package: validators, icon rendering, packaging tools
  desktop-file-utils appstream librsvg2-bin gzip dpkg-dev file lintian
  # the sleep lock's test: a private message bus and a mock logind on it
  dbus dbus-daemon python3-dbusmock
  # the window tests: the demo on Xvfb and on a headless Wayland compositor, driven through the
  # accessibility tree (AT-SPI), keys typed with XTest, screenshots; a font with Chinese glyphs
  xvfb weston qt6-wayland at-spi2-core python3-pyatspi xdotool python3-pil fonts-wqy-microhei
)

missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if [ ${#missing[@]} -eq 0 ]; then
  echo "setup: all packages present"
  exit 0
fi

SUDO=""
if [ "$(id -u)" -ne 0 ]; then
  command -v sudo >/dev/null || { echo "setup: need root or sudo to install: ${missing[*]}" >&2; exit 1; }
  SUDO="sudo"
fi

echo "setup: installing ${missing[*]}"
$SUDO apt-get update -qq
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
