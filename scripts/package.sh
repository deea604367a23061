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
#
# Each step's output goes to a log (build/.../package-logs); one that fails
# shows the log's end and the script ends with one line: the step, and the
# reason the package tool gave ("build_msi.py: ...", "build_msix.py: ...",
# "signing.py: ..."), else the log's last error.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh"
cd "$root"
source "$root/scripts/run-logged.sh"

step() {  # step <log name> <what> <command...>
  local log="$logs/$1.log" what=$2 reason
  shift 2
  run_logged "$log" "$what" "$@" && return 0
  reason=$(grep -E '^[A-Za-z0-9_.-]+\.py: ' "$log" | tail -n 1 || true)
  [ -n "$reason" ] || reason=$(grep -E 'CMake Error|CPack Error|FAILED:|error:' "$log" | tail -n 1 || true)
  echo "package.sh: $what failed${reason:+: $reason}" >&2
  exit 1
}

if [ $# -eq 0 ]; then
  build="$root/build/i686"
  logs="$build/package-logs"
  step configure "configuring the i686 build" cmake --preset i686
else
  build=$(cd "$1" && pwd)
  logs="$build/package-logs"
fi
out="${KESTRUN_PACKAGE_DIR:-$root/build/package}"

step build "building $build" cmake --build "$build"
mkdir -p "$out"
step zip "making the zip (cpack)" cpack --config "$build/CPackConfig.cmake" -B "$out"
rm -rf "$out/_CPack_Packages"
zip=$(sed -n 's/^CPack: - package: \(.*\) generated\.$/\1/p' "$logs/zip.log")
[ -f "$zip" ] || { cat "$logs/zip.log" >&2; echo "package.sh: cpack made no package" >&2; exit 1; }
echo "$zip"
unzip -l "$zip"

step msi "making, signing and verifying the Windows Installer packages" cmake --build "$build" --target msi
version=$(basename "$zip" | cut -d- -f2)
for msi in "$build/package/Kestrun-$version"-*.msi; do
  cp "$msi" "$out/"
  ls -l "$out/$(basename "$msi")"
done

step msix "making, signing and verifying the sparse package" cmake --build "$build" --target msix
cp "$build/package/Kestrun-$version-x64.msix" "$out/" && ls -l "$out/Kestrun-$version-x64.msix"
