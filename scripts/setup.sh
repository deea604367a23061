#!/usr/bin/env bash
# Installs every Debian package the build, the tests and the demo need.
# Idempotent and non-interactive; 64-bit Wine only (no i386 architecture):
# 32-bit programs run in the emulated machine (scripts/vm), made from Debian
# packages with mmdebstrap and run with qemu.
set -euo pipefail

packages=(
  cmake ninja-build git
  g++-mingw-w64-i686 g++-mingw-w64-x86-64 mingw-w64-tools binutils-mingw-w64
  wine wine64 libwine-dev
  googletest
  xvfb xdotool x11-utils imagemagick fonts-wine
  llvm clang libclang-rt-14-dev
  zip unzip python3
  locales
  wixl msitools osslsigncode openssl
  qemu-system-x86 qemu-utils mmdebstrap e2fsprogs
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if [ "${#missing[@]}" -gt 0 ]; then
  SUDO=""
  [ "$(id -u)" -eq 0 ] || SUDO="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# A double-byte ANSI code page for the tests of file names: Wine takes a new
# prefix's code page from the Linux locale, and ja_JP.UTF-8 gives 932.
if ! locale -a 2>/dev/null | grep -qi '^ja_JP\.utf-\?8$'; then
  SUDO=""
  [ "$(id -u)" -eq 0 ] || SUDO="sudo"
  $SUDO localedef -i ja_JP -f UTF-8 ja_JP.UTF-8
fi
