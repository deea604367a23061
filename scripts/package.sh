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
# A step that fails shows the end of its output and the script ends with one
# line saying which step failed and, where the tool gave one, why.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh"
cd "$root"

# step [--show] <what> <command...>: the command's output goes to a log (and,
# with --show, to the terminal as it comes); when the command fails, the end
# of the log is shown and the script ends with one line: the step, and the
# last reason a package tool gave ("build_msi.py: ...", "signing.py: ..."),
# else CMake's, CPack's or the compiler's last error.
step() {
  local show= what log status reason
  [ "$1" = --show ] && { show=1; shift; }
  what=$1
  shift
  log=$(mktemp)
  if [ -n "$show" ]; then
    "$@" 2>&1 | tee "$log" && status=0 || status=${PIPESTATUS[0]}
  else
    "$@" >"$log" 2>&1 && status=0 || status=$?
  fi
  if [ "$status" -eq 0 ]; then
    step_output=$(cat "$log")
    rm -f "$log"
    return
  fi
  if [ -z "$show" ]; then
    echo "--- the last lines of its output:" >&2
    tail -n 40 "$log" >&2
  fi
  reason=$(grep -E '^[A-Za-z0-9_.-]+\.py: ' "$log" | tail -n 1 || true)
  [ -n "$reason" ] || reason=$(grep -E 'CMake Error|CPack Error|FAILED:|error:' "$log" | tail -n 1 || true)
  rm -f "$log"
  echo "package.sh: $what failed (exit code $status)${reason:+: $reason}" >&2
  exit 1
}

if [ $# -eq 0 ]; then
  build="$root/build/i686"
  step "configuring the i686 build" cmake --preset i686
else
  build=$(cd "$1" && pwd)
fi
out="${KESTRUN_PACKAGE_DIR:-$root/build/package}"

step --show "building $build" cmake --build "$build"
mkdir -p "$out"
step "making the zip (cpack)" cpack --config "$build/CPackConfig.cmake" -B "$out"
rm -rf "$out/_CPack_Packages"
zip=$(sed -n 's/^CPack: - package: \(.*\) generated\.$/\1/p' <<<"$step_output")
[ -f "$zip" ] || { echo "$step_output" >&2; echo "package.sh: cpack made no package" >&2; exit 1; }
echo "$zip"
unzip -l "$zip"

step "making, signing and verifying the Windows Installer packages" cmake --build "$build" --target msi
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
