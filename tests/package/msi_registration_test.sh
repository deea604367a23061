#!/usr/bin/env bash
# The package's registry rows equal self-registration, key by key and value
# by value: the package is installed in the test prefix; a copy of that
# prefix gets the same files in the same folders and registers each library
# with regsvr32 instead. msi_registry.py places each registration's keys where
# 64-bit Windows keeps them for a library of its kind and compares them with
# what the package wrote, in both views.
#
#   msi_registration_test.sh <package> <wine-run> <test prefix> <wine> <stand-in Lorvane.dll>
#
# wine-run runs programs in the test prefix; wine (with WINEPREFIX) in the
# copy. The package's Kestrun_Tool.dll stands for the 32-bit library (under
# 64-bit Wine it is the x64 twin, registered by the 64-bit regsvr32);
# Kestrun_Tool64.dll, where the package has it, is the 64-bit one.
set -uo pipefail
msi=$1 wine_run=$2 prefix=$3 wine=$4 standin=$5
here=$(cd "$(dirname "$0")" && pwd)
source "$here/msi_common.sh"

copy=$(dirname "$prefix")/regsvr32-prefix
in_copy() {
  WINEPREFIX="$copy" WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winedbg.exe=d" DISPLAY= \
    timeout 120 "$wine" "$@" </dev/null 2>&1 | tr -d '\r'
  return "${PIPESTATUS[0]}"
}
# A warm server for the copy, with Wine's services started away from our
# output: they would hold the pipe of whichever call started them.
start_copy() {
  WINEPREFIX="$copy" setsid wineserver -p -f </dev/null >/dev/null 2>&1 &
  WINEPREFIX="$copy" WINEDEBUG=-all DISPLAY= "$wine" wineboot </dev/null >/dev/null 2>&1
}
fail() { echo "FAILED: $*"; exit 1; }

drive_c=$(win winepath -u 'C:\') || fail "no Wine prefix"
drive_c=${drive_c%/}
T="$drive_c/KestrunMsiRegistration" WT='C:\KestrunMsiRegistration'
# Where the package puts each library: the 64-bit one in the 64-bit Program Files.
declare -A folder_of=([Kestrun_Tool.dll]='Program Files (x86)/Kestrun' [Kestrun_Tool64.dll]='Program Files/Kestrun')
cleanup() {
  WINEPREFIX="$copy" wineserver -k 2>/dev/null
  rm -rf "$copy" "$T"
  unseed_shared_parents
}
trap cleanup EXIT
cleanup
seed_shared_parents
mkdir -p "$T"
cp "$msi" "$T/Kestrun.msi"
cp "$standin" "$T/Lorvane.dll"
product=$(msiinfo export "$msi" Property | tr -d '\r' | awk -F'\t' '$1 == "ProductCode" { print $2 }')
win msiexec /x "$product" /qn >/dev/null

echo "== the package"
# The copy first: nothing of the package in it.
cp -a "$prefix" "$copy" || fail "cannot copy the prefix"
win reg export 'HKLM\Software\Classes' "$WT\\msi-before.reg" /y >/dev/null
win msiexec /i "$WT\\Kestrun.msi" /qn; status=$?
[ "$status" -eq 0 ] || fail "msiexec /i ended with $status"
win reg export 'HKLM\Software\Classes' "$WT\\msi-after.reg" /y >/dev/null
# Both folders whole, the launcher and the copy of Lorvane.dll included.
folders=("${folder_of[@]}")
for f in "${folders[@]}"; do
  [ -d "$drive_c/$f" ] && mkdir -p "$T/files/$f" && cp "$drive_c/$f"/* "$T/files/$f/"
done
win msiexec /x "$WT\\Kestrun.msi" /qn >/dev/null

echo "== self-registration in a copy of the prefix"
for f in "${folders[@]}"; do
  [ -d "$T/files/$f" ] && mkdir -p "$copy/drive_c/$f" && cp "$T/files/$f"/* "$copy/drive_c/$f/"
done
libraries=()
for library in Kestrun_Tool.dll Kestrun_Tool64.dll; do
  [ -f "$T/files/${folder_of[$library]}/$library" ] && libraries+=("$library")
done
windows_path() { local f="C:/${folder_of[$1]}/$1"; echo "${f//\//\\}"; }
start_copy
# Whatever an earlier run left in the copied registry goes first.
for library in "${libraries[@]}"; do in_copy regsvr32 /u /s "$(windows_path "$library")"; done
snapshots=()
for library in "${libraries[@]}"; do
  path=$(windows_path "$library")
  in_copy reg export 'HKLM\Software\Classes' "C:\\$library-before.reg" /y >/dev/null
  in_copy regsvr32 /s "$path"; status=$?
  [ "$status" -eq 0 ] || fail "regsvr32 $library ended with $status"
  in_copy reg export 'HKLM\Software\Classes' "C:\\$library-after.reg" /y >/dev/null
  in_copy regsvr32 /u /s "$path"
  snapshots+=("$copy/drive_c/$library-before.reg" "$copy/drive_c/$library-after.reg")
done

echo "== compared"
python3 "$here/msi_registry.py" compare "$T/msi-before.reg" "$T/msi-after.reg" "${snapshots[@]}"
