#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the demo need.
# Quick when everything is present: dpkg is asked first, apt-get only for what is missing.
set -euo pipefail

PACKAGES=(
  build-essential cmake ninja-build pkg-config ccache
  qt6-base-dev libqt6sql6-sqlite qt6-qpa-plugins libgl-dev
  libxml2-dev libxlsxwriter-dev zlib1g-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  libcpp-httplib-dev libssl-dev openssl
  sqlite3 libsqlite3-dev curl xvfb trayer xdotool x11-utils imagemagick tinyproxy
  openbox xfce4-panel dunst dbus-daemon dbus-bin
  fonts-dejavu-core
  qt6-charts-dev libqt6opengl6-dev
  python3-openpyxl
  qtkeychain-qt6-dev gnome-keyring libsecret-tools
  clang-format
)

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -q
  $SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
fi
