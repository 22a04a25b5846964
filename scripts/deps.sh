#!/usr/bin/env bash
# Installs every Debian 12 package that building, running and testing need.
set -euo pipefail
SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO=sudo
packages=(
  # toolchain
  build-essential cmake ninja-build clang libclang-rt-14-dev pkg-config clang-format
  # tests and benchmarks
  libgtest-dev libgmock-dev libbenchmark-dev
  # the device library (sd-bus for the Bluetooth daemon's D-Bus API)
  libspdlog-dev libfmt-dev libasio-dev libsystemd-dev
  # D-Bus tests of the Bluetooth backend: a private message bus, a stand-in daemon written
  # elsewhere (python-dbusmock's template) and the daemon's own client (bluetoothctl)
  dbus-daemon python3-dbusmock bluez
  # the program
  libsfml-dev libopenal-dev libpulse-dev libasound2-dev libx11-dev libxss-dev
  fonts-liberation fonts-roboto-unhinted fonts-dejavu-core fonts-jura
  # the data-file packer
  espeak-ng
  # whole-program tests: a virtual display, a sound server, input and screenshots
  xvfb xdotool imagemagick pulseaudio pulseaudio-utils sox libfaketime
  # a window manager for the desktop tests (window placement, title-bar hints)
  openbox
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ "${#missing[@]}" -gt 0 ]; then
  $SUDO apt-get update
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y --no-install-recommends "${missing[@]}"
fi
# The npm client fetches the title face (scripts/fetch-title-font.sh, run again by the build).
if ! command -v npm >/dev/null 2>&1; then
  $SUDO apt-get update
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y --no-install-recommends npm
fi
status=0
bash "$(dirname "$0")/fetch-title-font.sh" "$(dirname "$0")/../build-deps/fonts" || status=$?
if [ "$status" -eq 2 ]; then
  echo "deps.sh: the npm registry cannot be reached; the build falls back to Jura Bold for the titles"
elif [ "$status" -ne 0 ]; then
  exit "$status"
fi
