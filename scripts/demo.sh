#!/usr/bin/env bash
# The demo: builds everything, installs Kestrun into a Wine prefix of its own
# with the stand-in boot library and a simulated device, opens a sample boot
# image with Kestrun.exe the way the shell does, and reports what arrived on
# the device. (The machine runs only 64-bit Windows programs, so the demo uses
# the x64 build of the same sources; the i686 deliverables are checked by the
# tests.)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh"
"$root/scripts/build.sh" >/dev/null

export KESTRUN_WINEPREFIX="$root/build/demo/prefix" KESTRUN_DISPLAY="${KESTRUN_DEMO_DISPLAY:-:96}"
session="$root/scripts/wine-session"
run="$root/scripts/wine-run"
trap '"$session" stop' EXIT
"$session" start

bin="$root/build/x64/bin"
drive_c="$KESTRUN_WINEPREFIX/drive_c"
tool="$drive_c/Kestrun"
device="$drive_c/KestrunDevice"
images="$drive_c/Images"

echo "== Installing Kestrun into C:\\Kestrun (demo prefix $KESTRUN_WINEPREFIX)"
rm -rf "$tool" "$device" "$images"
mkdir -p "$tool" "$device" "$images"
cp "$bin/Kestrun.exe" "$bin/Lorvane.dll" "$tool/"
cp "$bin/shell_open.exe" "$drive_c/"
printf '%s\r\n' \
  "[QUORVEX_KESTRUN]" \
  "DnLoadAddr=0x80008000" \
  "[LORVANE_STANDIN]" \
  "DeviceDir=C:\\KestrunDevice" \
  "RateBytesPerSecond=1048576" > "$tool/LORVANE_SET.INI"
"$run" reg add 'HKCR\Applications\Kestrun.exe\shell\open\command' /ve /d 'C:\Kestrun\Kestrun.exe "%1"' /f >/dev/null
echo "   launcher open command: $("$run" reg query 'HKCR\Applications\Kestrun.exe\shell\open\command' /ve | tr -d '\r' | grep REG_SZ | sed 's/.*REG_SZ *//')"
echo "   settings file C:\\Kestrun\\LORVANE_SET.INI: DnLoadAddr=0x80008000; stand-in device folder C:\\KestrunDevice"

# A 256 KiB sample image with a recognisable pattern.
head -c 262144 /dev/urandom > "$images/sample.bin"
echo
echo "== Opening C:\\Images\\sample.bin with Kestrun.exe, as the shell does"
set +e
LORVANE_STANDIN_LOG='C:\KestrunDevice\calls.log' "$run" 'C:\shell_open.exe' 'C:\Images\sample.bin' | tr -d '\r' | sed 's/^/   /'
status=${PIPESTATUS[0]}
set -e

echo
echo "== What the boot library was asked, in order"
tr -d '\r' < "$device/calls.log" | sed 's/^/   /'
echo
echo "== What arrived on the device"
record=$(tr -d '\r' < "$device/device.log" | tail -n 1)
file=$(printf '%s' "$record" | cut -f1)
address=$(printf '%s' "$record" | cut -f2 | cut -d= -f2)
bytes=$(printf '%s' "$record" | cut -f3 | cut -d= -f2)
echo "   $bytes bytes at load address $address, from $(printf '%s' "$record" | cut -f4 | cut -d= -f2)"
if [ "$status" -eq 0 ] && cmp -s "$images/sample.bin" "$device/$file"; then
  echo "   the bytes on the device are identical to C:\\Images\\sample.bin"
  echo
  echo "Demo passed: the device was booted from sample.bin at $address."
else
  echo "Demo FAILED: exit status $status, or the device holds other bytes." >&2
  exit 1
fi
