#!/usr/bin/env bash
# The demo: builds the x64 build, installs Kestrun into a Wine prefix of its
# own with the stand-in boot library and a simulated device, opens a sample
# boot image with Kestrun.exe the way the shell does, right-clicks images
# through the extension, through the 64-bit extension that hands the image to
# the launcher and through the packaged verb of Windows 11's own menu, and
# reports what arrived on the device. (The machine runs only 64-bit Windows
# programs, so the demo uses the x64 build of the same sources; the i686
# deliverables are run by the tests in an emulated machine.)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
source "$root/scripts/run-logged.sh"
echo "== Installing the build packages (scripts/setup.sh: nothing to do when they are there, several minutes on a fresh machine)"
"$root/scripts/setup.sh"
build_x64() { cd "$root" && cmake --preset x64 && cmake --build --preset x64; }
run_logged "$root/build/demo-build.log" "== Building the x64 build, about 2 minutes on a fresh 2-core machine" build_x64

export KESTRUN_WINEPREFIX="$root/build/demo/prefix" KESTRUN_DISPLAY="${KESTRUN_DEMO_DISPLAY:-:96}"
session="$root/scripts/wine-session"
run="$root/scripts/wine-run"
trap '"$session" stop' EXIT
"$session" start

bin="$root/build/x64/bin"
drive_c="$KESTRUN_WINEPREFIX/drive_c"
tool="$drive_c/Program Files/Quorvex Kestrun"
tool_win='C:\Program Files\Quorvex Kestrun'
device="$drive_c/KestrunDevice"
images="$drive_c/Images"

echo "== Installing Kestrun into $tool_win (demo prefix $KESTRUN_WINEPREFIX)"
rm -rf "$tool" "$device" "$images"
mkdir -p "$tool" "$device" "$images"
cp "$bin/Kestrun.exe" "$bin/Kestrun_Tool.dll" "$bin/Kestrun_Tool64.dll" "$bin/Lorvane.dll" "$tool/"
cp "$bin/shell_open.exe" "$bin/explorer_host.exe" "$bin/explorer11_host.exe" "$bin/AppxManifest.xml" "$drive_c/"
printf '%s\r\n' \
  "[QUORVEX_KESTRUN]" \
  "DnLoadAddr=0x80008000" \
  "[LORVANE_STANDIN]" \
  "DeviceDir=C:\\KestrunDevice" \
  "RateBytesPerSecond=1048576" > "$tool/LORVANE_SET.INI"
# The launcher's path quoted the Windows way: the folder has blanks.
"$run" reg add 'HKCR\Applications\Kestrun.exe\shell\open\command' /ve /d "\"$tool_win\\Kestrun.exe\" \"%1\"" /f >/dev/null
echo "   launcher open command: $("$run" reg query 'HKCR\Applications\Kestrun.exe\shell\open\command' /ve | tr -d '\r' | grep REG_SZ | sed 's/.*REG_SZ *//')"
echo "   settings file $tool_win\\LORVANE_SET.INI: DnLoadAddr=0x80008000; stand-in device folder C:\\KestrunDevice"

"$run" regsvr32 /s "$tool_win\\Kestrun_Tool.dll"
echo "   context-menu extension registered with regsvr32: HKCR\\*\\ShellEx\\ContextMenuHandlers\\Quorvex_Kestrun = $("$run" reg query 'HKCR\*\ShellEx\ContextMenuHandlers\Quorvex_Kestrun' /ve | tr -d '\r' | grep REG_SZ | sed 's/.*REG_SZ *//')"

# Sample images with random content.
head -c 262144 /dev/urandom > "$images/sample.bin"
head -c 131072 /dev/urandom > "$images/menu.bin"
head -c 65536 /dev/urandom > "$images/menu64.bin"
head -c 98304 /dev/urandom > "$images/menu11.bin"
echo "not an image" > "$images/notes.txt"

# The newest device record: "<file> <address> <bytes> <image>".
last_record() {
  tr -d '\r' < "$device/device.log" | tail -n 1 | awk -F'\t' '{sub("address=","",$2); sub("bytes=","",$3); sub("image=","",$4); print $1, $2, $3, $4}'
}
# Checks that the newest transfer brought exactly the bytes of $1 to the device.
report_boot() {
  local source=$1 file address bytes image
  read -r file address bytes image < <(last_record)
  echo "   device received $bytes bytes at load address $address from $image"
  if cmp -s "$source" "$device/$file"; then
    echo "   the bytes on the device are identical to the image"
  else
    echo "Demo FAILED: the device holds other bytes than $source" >&2
    exit 1
  fi
}

# Runs a host program in the prefix, indented, and fails the demo unless it
# ends with the expected status.
step() {
  local expected=$1 what=$2 status
  shift 2
  set +e
  "$run" "$@" | tr -d '\r' | sed 's/^/   /'
  status=${PIPESTATUS[0]}
  set -e
  [ "$status" -eq "$expected" ] || { echo "Demo FAILED: $what (status $status)" >&2; exit 1; }
}

# The hand-off only starts Kestrun.exe, which boots on its own: waits until
# the device log has more than $1 records.
wait_for_boot() {
  for _ in $(seq 300); do [ "$(wc -l < "$device/device.log")" -gt "$1" ] && return; sleep 0.1; done
  echo "Demo FAILED: $2" >&2
  exit 1
}

export LORVANE_STANDIN_LOG='C:\KestrunDevice\calls.log'

echo
echo "== 1. Opening C:\\Images\\sample.bin with Kestrun.exe, as the shell does"
step 0 "Kestrun.exe did not boot the device" 'C:\shell_open.exe' 'C:\Images\sample.bin'
report_boot "$images/sample.bin"

echo
echo "== 2. Right-clicking C:\\Images\\menu.bin in Explorer and choosing \"Quorvex Kestrun\""
echo "   (a host program plays Explorer: Wine's own shell loads no context-menu handlers)"
step 0 "the menu click did not start a boot" 'C:\explorer_host.exe' 'C:\Images\menu.bin'
report_boot "$images/menu.bin"

echo
echo "== 3. Right-clicking C:\\Images\\notes.txt: the extension offers nothing"
step 1 "the extension answered a text file" 'C:\explorer_host.exe' 'C:\Images\notes.txt'

echo
echo "== 4. The same right-click in 64-bit Explorer: Kestrun_Tool64.dll hands the image to Kestrun.exe"
echo "   (one class ID in both registry views on Windows; this Wine has only the 64-bit view,"
echo "   so the 64-bit library takes the registration over here)"
"$run" regsvr32 /u /s "$tool_win\\Kestrun_Tool.dll"
"$run" regsvr32 /s "$tool_win\\Kestrun_Tool64.dll"
records=$(wc -l < "$device/device.log")
step 0 "the 64-bit menu click did not start the launcher" 'C:\explorer_host.exe' 'C:\Images\menu64.bin'
wait_for_boot "$records" "the launcher started by the 64-bit extension booted nothing"
report_boot "$images/menu64.bin"
"$run" regsvr32 /u /s "$tool_win\\Kestrun_Tool64.dll"

echo
echo "== 5. Windows 11's own menu: the packaged verb \"Quorvex Kestrun\" on C:\\Images\\menu11.bin"
echo "   (a host plays the package's surrogate: the class and library of AppxManifest.xml, the"
echo "   package's external location $tool_win, a shell item array; nothing registers a package here)"
records=$(wc -l < "$device/device.log")
step 0 "the packaged verb did not start the launcher" 'C:\explorer11_host.exe' 'C:\AppxManifest.xml' "$tool_win" 'C:\Images\menu11.bin'
wait_for_boot "$records" "the launcher started by the packaged verb booted nothing"
report_boot "$images/menu11.bin"

echo
echo "== 6. The classic menu on Windows 11 (\"Show more options\"): the packaged verb stays out of it,"
echo "   where the classic item of step 4 stands"
step 1 "the packaged verb showed in the classic menu too" 'C:\explorer11_host.exe' --classic-menu 'C:\AppxManifest.xml' "$tool_win" 'C:\Images\menu11.bin'

echo
echo "== What the boot library was asked, in order (pid, thread, call, arguments, result)"
tr -d '\r' < "$device/calls.log" | sed 's/^/   /'
echo
echo "Demo passed: the device was booted through the launcher, through the context menu, through"
echo "the 64-bit context menu's hand-off to the launcher and through Windows 11's packaged verb."
