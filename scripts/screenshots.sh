#!/usr/bin/env bash
# Takes the README's pictures of what a user sees, under a virtual X display:
# the "Quorvex Kestrun" item in the context menu of a .bin file, drawn by the
# platform's own popup menu (tests/hosts/menu_picture.cpp), and each message
# box, produced by the real code paths. Kestrun is installed into a Wine
# prefix of its own from the package, with install.cmd, as a user does (the
# machine runs only 64-bit Windows programs: the x64 build and its package
# twin stand in for the 32-bit ones). The pictures land in docs/images/.
#
#   scripts/screenshots.sh [x64 build dir]
#
# Without an argument it builds everything first (scripts/build.sh) and uses
# build/x64. KESTRUN_SCREENSHOT_DISPLAY chooses the X display (default :95).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh"
source "$root/scripts/run-logged.sh"
if [ $# -eq 0 ]; then
  run_logged "$root/build/screenshots/build.log" "screenshots.sh: building" "$root/scripts/build.sh"
  build="$root/build/x64"
else
  build=$(cd "$1" && pwd)
  run_logged "$root/build/screenshots/build.log" "screenshots.sh: building $build" cmake --build "$build"
fi
bin="$build/bin"
images="$root/docs/images"
convert=/usr/bin/convert-im6.q16   # /usr/local/bin/convert is not ImageMagick
import=/usr/bin/import-im6.q16

work="$root/build/screenshots"
export KESTRUN_WINEPREFIX="$work/prefix" KESTRUN_DISPLAY="${KESTRUN_SCREENSHOT_DISPLAY:-:95}"
export DISPLAY="$KESTRUN_DISPLAY"
session="$root/scripts/wine-session"
run="$root/scripts/wine-run"
trap '"$session" stop' EXIT
"$session" start

drive_c="$KESTRUN_WINEPREFIX/drive_c"
# Wine's own fonts (the caption buttons' Marlett, the dialogs' Tahoma) where
# its font loader looks for them.
cp /usr/share/wine/fonts/*.ttf "$drive_c/windows/Fonts/"
mkdir -p "$images" "$work"
rm -rf "$drive_c/Kestrun" "$drive_c/KestrunDevice" "$drive_c/KestrunDevice.unplugged" "$drive_c/Images" "$drive_c/Hosts"
mkdir -p "$drive_c/KestrunDevice" "$drive_c/Images" "$drive_c/Hosts"
cp "$bin/shell_open.exe" "$bin/explorer_host.exe" "$bin/menu_picture.exe" "$drive_c/Hosts/"
head -c 131072 /dev/urandom > "$drive_c/Images/sample.bin"
head -c 65536 /dev/urandom > "$drive_c/Images/firmware-2.bin"
echo "release notes" > "$drive_c/Images/notes.txt"

echo "== Installing the package into C:\\Kestrun with install.cmd"
package_log=$(cpack --config "$build/CPackConfig.cmake" -B "$work/package")
zip=$(sed -n 's/^CPack: - package: \(.*\) generated\.$/\1/p' <<<"$package_log")
rm -rf "$work/unzip" && mkdir -p "$work/unzip" && unzip -q "$zip" -d "$work/unzip"
mv "$work/unzip"/Kestrun-* "$drive_c/Kestrun"
# The user's part: the boot library (here the stand-in) and its settings.
cp "$bin/Lorvane.dll" "$drive_c/Kestrun/"
printf '%s\r\n' "[LORVANE_STANDIN]" "DeviceDir=C:\\KestrunDevice" >> "$drive_c/Kestrun/LORVANE_SET.INI"
"$run" cmd /c 'C:\Kestrun\install.cmd' /q </dev/null | tr -d '\r' | sed 's/^/   /'

# Crops the screen to "<left> <top> <right> <bottom>" into docs/images/$1.
shoot() {
  local name=$1 left=$2 top=$3 right=$4 bottom=$5
  "$import" -window root "$work/screen.png"
  "$convert" "$work/screen.png" -crop "$((right - left))x$((bottom - top))+$left+$top" +repage \
    "$images/$name.png"
  echo "   docs/images/$name.png ($((right - left))x$((bottom - top)))"
}

# Waits (at most 30 s) for a window titled $1; prints its X id.
wait_window() {
  local id
  for _ in $(seq 300); do
    id=$(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -n 1) || true
    [ -n "$id" ] && { echo "$id"; return 0; }
    sleep 0.1
  done
  return 1
}

# Runs a Windows program that shows a Kestrun message box, photographs the
# box, closes it with Return, as a user would, and checks that the program
# then printed $2.
shoot_box() {
  local name=$1 expected=$2 window x y width height; shift 2
  "$run" "$@" </dev/null >"$work/$name.log" 2>&1 &
  local pid=$!
  if ! window=$(wait_window "Quorvex Kestrun Tool"); then
    echo "screenshots: no message box for $name" >&2
    kill "$pid" 2>/dev/null || true
    tr -d '\r' < "$work/$name.log" >&2
    exit 1
  fi
  eval "$(xdotool getwindowgeometry --shell "$window")"
  x=$X y=$Y width=$WIDTH height=$HEIGHT
  sleep 0.5
  shoot "$name" "$x" "$y" $((x + width)) $((y + height))
  xdotool windowfocus "$window" key Return
  timeout 30 tail --pid="$pid" -f /dev/null || { echo "screenshots: $name did not end" >&2; exit 1; }
  if ! tr -d '\r' < "$work/$name.log" | grep -qF "$expected"; then
    echo "screenshots: $name did not end as expected ($expected):" >&2
    tr -d '\r' < "$work/$name.log" >&2
    exit 1
  fi
}

echo "== The context menu of C:\\Images\\sample.bin"
"$run" 'C:\Hosts\menu_picture.exe' 'C:\Images\sample.bin' </dev/null >"$work/menu.log" 2>&1 &
menu_pid=$!
for _ in $(seq 300); do grep -q '^shown' "$work/menu.log" && break; sleep 0.1; done
read -r _ wl wt wr wb ml mt mr mb < <(tr -d '\r' < "$work/menu.log" | grep '^shown') || {
  echo "screenshots: the menu was not shown" >&2; cat "$work/menu.log" >&2; exit 1; }
sleep 0.7
shoot context_menu $((wl < ml ? wl : ml)) $((wt < mt ? wt : mt)) $((wr > mr ? wr : mr)) $((wb > mb ? wb : mb))
xdotool key Escape
timeout 40 tail --pid="$menu_pid" -f /dev/null
grep -q '^closed' "$work/menu.log" || { echo "screenshots: the menu did not close" >&2; exit 1; }

echo "== Opening C:\\Images\\sample.bin with the device unplugged"
mv "$drive_c/KestrunDevice" "$drive_c/KestrunDevice.unplugged"
shoot_box not_connected "ended with exit code 0x80070057" 'C:\Hosts\shell_open.exe' 'C:\Images\sample.bin'
mv "$drive_c/KestrunDevice.unplugged" "$drive_c/KestrunDevice"

echo "== Opening an image that the boot library cannot read"
shoot_box kestrun_error "ended with exit code 0x80070057" 'C:\Hosts\shell_open.exe' 'C:\Images\missing.bin'

echo "== Choosing \"Quorvex Kestrun\" with the launcher's registration gone"
"$run" reg delete 'HKCR\Applications\Kestrun.exe' /f </dev/null >/dev/null
shoot_box read_info_error "InvokeCommand: 0x80070057" 'C:\Hosts\explorer_host.exe' 'C:\Images\sample.bin'

"$run" cmd /c 'C:\Kestrun\uninstall.cmd' /q </dev/null >/dev/null
echo "Pictures in docs/images."
