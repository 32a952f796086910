#!/usr/bin/env bash
# Installs what the build and the tests need on Debian 12 (run as root).
# Does nothing when everything is there already.
set -euo pipefail

packages=(
  cmake make g++ git ca-certificates
  g++-mingw-w64-i686 binutils-mingw-w64-i686 mingw-w64-tools
  wine wine32:i386 wine64 xvfb
  googletest libgtest-dev
  python3 python3-pytest
  locales liblnk-utils imagemagick x11-apps
  clang libclang-rt-14-dev
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -ne 0 ]; then
  echo "missing packages: ${missing[*]}; run as root to install them" >&2
  exit 1
fi
export DEBIAN_FRONTEND=noninteractive
dpkg --print-foreign-architectures | grep -qx i386 || dpkg --add-architecture i386
apt-get update -q
apt-get install -y -q --no-install-recommends "${missing[@]}"
