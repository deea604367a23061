#!/usr/bin/env bash
# The package's registry rows equal self-registration, key by key and value
# by value: the package is installed in the test prefix and removed again;
# then the same files go back into the same folders and regsvr32 registers
# each library instead (package_test_common.sh). msi_registry.py places each
# registration's keys where 64-bit Windows keeps them for a library of its
# kind and compares them with what the package wrote, in both views.
#
#   msi_registration_test.sh <package> <wine-run> <stand-in Lorvane.dll>
#
# The package's Kestrun_Tool.dll stands for the 32-bit library (under 64-bit
# Wine it is the x64 twin, registered by the 64-bit regsvr32; with WoW64 the
# real one, registered by SysWOW64's regsvr32); Kestrun_Tool64.dll, where the
# package has it, is the 64-bit one.
set -uo pipefail
msi=$1 wine_run=$2 standin=$3
here=$(cd "$(dirname "$0")" && pwd)
source "$here/package_test_common.sh"
fail() { echo "FAILED: $*"; exit 1; }

drive_c=$(win winepath -u 'C:\') || fail "no Wine prefix"
drive_c=${drive_c%/}
T="$drive_c/KestrunMsiRegistration" WT='C:\KestrunMsiRegistration'
trap 'unseed_shared_parents; rm -rf "$T"' EXIT
seed_shared_parents || fail "the shared parent keys"
rm -rf "$T" && mkdir -p "$T"
cp "$msi" "$T/Kestrun.msi"
cp "$standin" "$T/Lorvane.dll"
product=$(msiinfo export "$msi" Property | tr -d '\r' | awk -F'\t' '$1 == "ProductCode" { print $2 }')
win msiexec /x "$product" /qn >/dev/null

echo "== the package"
win reg export 'HKLM\Software\Classes' "$WT\\start.reg" /y >/dev/null
win msiexec /i "$WT\\Kestrun.msi" /qn; status=$?
[ "$status" -eq 0 ] || fail "msiexec /i ended with $status"
win reg export 'HKLM\Software\Classes' "$WT\\installed.reg" /y >/dev/null
save_package_folders
win msiexec /x "$WT\\Kestrun.msi" /qn; status=$?
[ "$status" -eq 0 ] || fail "msiexec /x ended with $status"

echo "== self-registration of the same files, compared"
same_as_self_registration start installed start
