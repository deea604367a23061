#!/usr/bin/env bash
# Builds the packages a Windows user installs, from the i686 release build:
# build/package/Kestrun-<version>-x64.msi and -x86.msi (Windows Installer
# packages for 64- and 32-bit Windows), and build/package/Kestrun-<version>-win32.zip
# (Kestrun.exe, Kestrun_Tool.dll, a sample LORVANE_SET.INI, install.cmd,
# uninstall.cmd, README.txt), and build/package/Kestrun-<version>-x64.msix (the
# sparse package that brings the item into Windows 11's own menu).
#
#   scripts/package.sh [build dir]
#
# Without an argument it configures and builds the i686 preset (build/i686).
# Given another build folder it packages that build as it is configured: an
# x64 build gives the 64-bit twin that only the install test uses.
# KESTRUN_PACKAGE_DIR chooses the output folder (default build/package).
# With KESTRUN_SIGN_CERT and KESTRUN_SIGN_KEY (PEM files; KESTRUN_SIGN_CA: the
# issuers to verify against) the programs in the packages and the packages
# are signed and verified.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh"
cd "$root"

if [ $# -eq 0 ]; then
  build="$root/build/i686"
  cmake --preset i686 >/dev/null
else
  build=$(cd "$1" && pwd)
fi
out="${KESTRUN_PACKAGE_DIR:-$root/build/package}"

cmake --build "$build"
mkdir -p "$out"
log=$(cpack --config "$build/CPackConfig.cmake" -B "$out")
rm -rf "$out/_CPack_Packages"
zip=$(sed -n 's/^CPack: - package: \(.*\) generated\.$/\1/p' <<<"$log")
[ -f "$zip" ] || { echo "package.sh: cpack made no package" >&2; echo "$log" >&2; exit 1; }
echo "$zip"
unzip -l "$zip"

cmake --build "$build" --target msi >/dev/null
version=$(basename "$zip" | cut -d- -f2)
for msi in "$build/package/Kestrun-$version"-*.msi; do
  cp "$msi" "$out/"
  ls -l "$out/$(basename "$msi")"
done

# The sparse package; its step ends with a one-line reason when it fails.
if ! log=$(cmake --build "$build" --target msix 2>&1); then
  echo "package.sh: $(grep -o -m1 'build_msix\.py: .*' <<<"$log" || echo 'the sparse package was not made')" >&2
  exit 1
fi
cp "$build/package/Kestrun-$version-x64.msix" "$out/" && ls -l "$out/Kestrun-$version-x64.msix"
