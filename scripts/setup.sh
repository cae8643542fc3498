#!/usr/bin/env bash
# Installs what the builds and the tests need on a Debian machine (run as root, or with sudo).
set -euo pipefail

packages=(
  cmake ninja-build g++ pkg-config libgtest-dev googletest
  clang libclang-rt-14-dev
  g++-mingw-w64-x86-64 binutils-mingw-w64-x86-64
  libgsf-1-dev libgcab-dev gcab wixl msitools osslsigncode openssl libssl-dev
  wine wine64 fonts-wine xvfb xauth xdotool imagemagick x11-utils
  locales-all
)

missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" ||
    missing+=("$package")
done
if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

sudo=""
[ "$(id -u)" -eq 0 ] || sudo=sudo
echo "Installing: ${missing[*]}"
$sudo apt-get update -q
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
