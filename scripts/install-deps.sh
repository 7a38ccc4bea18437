#!/bin/bash
# Installs the Debian 12 packages that building, running and testing Vellum
# need; does nothing when they are all present.
set -eu
PACKAGES=(
  cmake ninja-build g++ pkg-config git
  qt6-base-dev qt6-base-dev-tools qt6-svg-dev
  libcurl4-openssl-dev libpcre2-dev libsndfile1-dev libasound2-dev
  libgtest-dev libbenchmark-dev libxcb1-dev
  xvfb xauth xclip xdotool x11-utils openbox trayer sox python3 fonts-wqy-microhei
  zip desktop-file-utils appstream man-db
  dbus at-spi2-core python3-pyatspi
  libssl-dev openssl qt6-translations-l10n
  chromium firefox-esr nodejs
  # The fuzz targets: libFuzzer's runtime is only a recommendation of clang-14.
  clang-14 libclang-rt-14-dev
)
missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
# Where node comes with its own npm, Debian's npm package would conflict with it.
command -v npm >/dev/null 2>&1 || missing+=(npm)
[ ${#missing[@]} -eq 0 ] && exit 0
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
echo "Installing: ${missing[*]}"
$SUDO apt-get update -qq
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
