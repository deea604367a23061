#!/usr/bin/env bash
# The package's install scripts under Wine: unpacked into a folder of the test
# prefix, with the stand-in boot library placed beside it as a user places the
# vendor's, installed with install.cmd through the platform's cmd, booted
# through the launcher (as the shell opens a file) and through the extension
# (as Explorer's menu does), and removed with uninstall.cmd, which must leave
# no key of ours behind but the shared ones the registration script never
# removes, and another program's "Open with" entries for .bin where they were. Run on the users' 32-bit zip in a 64-bit prefix with WoW64
# (regsvr32 folder SysWOW64) and on the 64-bit twin under 64-bit Wine
# (System32). "binaries" leaves out the sections that only exercise the
# scripts' own refusals and folder checks, the same whatever the binaries'
# architecture (the emulated machine takes minutes for them).
#
# With WoW64 install.cmd also registers Kestrun_Tool64.dll in the 64-bit view;
# a 64-bit explorer_host.exe, when given, then right-clicks through it, and the
# launcher it starts boots the device.
#
#   install_test.sh <package zip> <wine-run> <shell_open.exe> <explorer_host.exe>
#                   <not_admin.exe> <stand-in Lorvane.dll> <System32|SysWOW64> [all|binaries]
#                   [64-bit explorer_host.exe]
set -uo pipefail
zip=$1 wine_run=$2 shell_open=$3 explorer_host=$4 not_admin=$5 standin=$6 regsvr32_folder=$7
sections=${8:-all} explorer_host64=${9:-}
here=$(cd "$(dirname "$0")" && pwd)
source "$here/package_test_common.sh"

CLASSES='HKLM\Software\Classes'
COMMAND_KEY='Applications\Kestrun.exe\shell\open\command'
HANDLER_KEY='*\ShellEx\ContextMenuHandlers\Quorvex_Kestrun'
# Keys the extension's script marks NoRemove: shared with everyone else.
SHARED_KEYS=$'CLSID\n*\n*\\ShellEx\n*\\ShellEx\\ContextMenuHandlers'
# A 32-bit extension's class lands in the 32-bit view of the registry; the
# shell's keys (*, the ProgIDs, Applications) are shared by both views.
case $regsvr32_folder in
  SysWOW64) CLASS_VIEW='Wow6432Node\' OTHER_VIEW='' OTHER_VIEW_NAME=64-bit ;;
  *) CLASS_VIEW='' OTHER_VIEW='Wow6432Node\' OTHER_VIEW_NAME=32-bit ;;
esac


drive_c=$(win winepath -u 'C:\') || { echo "no Wine prefix"; exit 1; }
drive_c=${drive_c%/}
T="$drive_c/KestrunPackageTest"
WT='C:\KestrunPackageTest'
trap 'rm -rf "$T"' EXIT
rm -rf "$T"
mkdir -p "$T/device" "$T/hosts" "$T/hosts64" "$T/images" "$T/unpacked" "$T/notadmin"

# Hosts in a folder without any Lorvane.dll: the only one is the package's.
cp "$shell_open" "$explorer_host" "$T/hosts/"
head -c 65536 /dev/urandom > "$T/images/open.bin"
head -c 32768 /dev/urandom > "$T/images/menu.bin"
head -c 16384 /dev/urandom > "$T/images/menu64.bin"
[ -z "$explorer_host64" ] || cp "$explorer_host64" "$T/hosts64/"
# What a user without administrator rights gets from the two checks, found
# first on the PATH (Wine puts WINEPATH before it).
cp "$not_admin" "$T/notadmin/net.exe"
cp "$not_admin" "$T/notadmin/fltmc.exe"
as_user() { WINEPATH="$WT\\notadmin" win "$@"; }

value() {  # default value of HKCR\$1, or nothing
  win reg query "$CLASSES\\$1" /ve | sed -n 's/^ *(Default) *REG_SZ *//p'
}
has_key() { win reg query "$CLASSES\\$1" >/dev/null; }
no_key() { ! has_key "$1"; }
# The key names under HKCR, one a line, relative to it.
snapshot() {
  win reg export "$CLASSES" "$WT\\classes.reg" /y >/dev/null || return 1
  iconv -f UTF-16 -t UTF-8 "$T/classes.reg" | tr -d '\r' |
    sed -n 's/^\[HKEY_LOCAL_MACHINE\\Software\\Classes\\\(.*\)\]$/\1/Ip' | LC_ALL=C sort -u
}
# The newest device record: "<file> <address> <bytes> <image>".
last_record() {
  tr -d '\r' < "$T/device/device.log" | tail -n 1 |
    awk -F'\t' '{sub("address=","",$2); sub("bytes=","",$3); sub("image=","",$4); print $1, $2, $3, $4}'
}
records() { [ -f "$T/device/device.log" ] && wc -l < "$T/device/device.log" || echo 0; }
contains() { [[ $1 == *"$2"* ]]; }
not() { ! "$@"; }

# Unpacks the package into $1 (unix) and places the boot library and the
# library's own settings as the user would.
unpack_to() {
  local into=$1 unzipped
  rm -rf "$T/unzip" && mkdir -p "$T/unzip" "$(dirname "$into")"
  unzip -q "$zip" -d "$T/unzip"
  unzipped=$(ls -d "$T/unzip"/Kestrun-*)
  mv "$unzipped" "$into"
  cp "$standin" "$into/Lorvane.dll"
  printf '%s\r\n' '[LORVANE_STANDIN]' "DeviceDir=$WT\\device" >> "$into/LORVANE_SET.INI"
}
# Boots $1 (a file under images) through the launcher; checks the record.
boot_through_launcher() {
  local what=$1 image=$2 before output status file address bytes path
  before=$(records)
  output=$(win "$WT\\hosts\\shell_open.exe" "$WT\\images\\$image"); status=$?
  check "$what: the launcher booted (exit code $status)" equal "$status" 0
  check "$what: one new device record" equal "$(records)" $((before + 1))
  read -r file address bytes path < <(last_record)
  check "$what: the device got the image at the sample address" equal "$address $path" "0x80008000 $WT\\images\\$image"
  check "$what: the device holds the image's bytes" cmp -s "$T/images/$image" "$T/device/$file"
}

# The prefix is shared with the other tests: start without a registration of
# the launcher or the extension that a broken run may have left.
win reg delete "$CLASSES\\Applications\\Kestrun.exe" /f >/dev/null
win reg delete "$CLASSES\\$HANDLER_KEY" /f >/dev/null
win reg delete "$CLASSES\\$OPEN_WITH_KEY" /f >/dev/null
seed_open_with || { echo "FAILED: the other program's \"Open with\" entries"; exit 1; }
trap 'unseed_open_with; rm -rf "$T"' EXIT
named() { win reg query "$CLASSES\\$1" /v "$2" | sed -n "s/^ *$2 *REG_SZ *//p"; }  # named <key> <value name>
others_open_with() { echo "$(value .bin)|$(has_key "$OTHER_OPEN_WITH" && echo listed)"; }

echo "== the package as unpacked"
pkg="$T/unpacked/$(basename "$zip" .zip)"
unpack_to "$pkg"
W="$WT\\unpacked\\$(basename "$zip" .zip)"
before=$(snapshot)
check "snapshot of HKCR before the install" test -n "$before"

if [ "$sections" = all ]; then
  echo "== install.cmd without the boot library"
  rm "$pkg/Lorvane.dll"
  out=$(win cmd /c "$W\\install.cmd" /q); status=$?
  echo "$out"
  check "refused with exit code 2 ($status)" equal "$status" 2
  check "says where Lorvane.dll goes" contains "$out" "Lorvane.dll is missing"
  check "wrote no open command" no_key "$COMMAND_KEY"
  check "registered no extension" no_key "$HANDLER_KEY"
  cp "$standin" "$pkg/Lorvane.dll"

  echo "== install.cmd without administrator rights"
  out=$(as_user cmd /c "$W\\install.cmd" /q); status=$?
  echo "$out"
  check "refused with exit code 5 ($status)" equal "$status" 5
  check "explains how to run it" contains "$out" 'choose "Run as administrator"'
  check "wrote no open command" no_key "$COMMAND_KEY"
  check "registered no extension" no_key "$HANDLER_KEY"
fi

echo "== install.cmd"
out=$(win cmd /c "$W\\install.cmd" /q); status=$?
echo "$out"
check "installed (exit code $status)" equal "$status" 0
# A 64-bit-only Wine has an empty SysWOW64: the script takes System32's
# regsvr32, the 64-bit one the twin needs; with WoW64 it takes SysWOW64's.
check "registered with $regsvr32_folder's regsvr32" contains "$out" "with \"C:\\windows\\$regsvr32_folder\\regsvr32.exe\""
check "open command: the launcher's path quoted, then the quoted %1" \
  equal "$(value "$COMMAND_KEY")" "\"$W\\Kestrun.exe\" \"%1\""
check "the extension is a context-menu handler for every file" test -n "$(value "$HANDLER_KEY")"
check "\"Open with\": the launcher's name, .bin, its entry in the list of .bin" \
  equal "$(named Applications\\Kestrun.exe FriendlyAppName)|$(win reg query "$CLASSES\\Applications\\Kestrun.exe\\SupportedTypes" /v .bin |
    grep -c '^ *\.bin *REG_SZ *$')|$(has_key "$OPEN_WITH_KEY" && echo listed)" "Quorvex Kestrun|1|listed"
installed=$(snapshot)
class_key="CLSID\\$(value "$HANDLER_KEY")\\InprocServer32"
for key in "$COMMAND_KEY" "$HANDLER_KEY" "$CLASS_VIEW$class_key" Kestrun_Tool.Quorvex_Kestrun; do
  check "snapshot after install holds $key" grep -qixF "$key" <<<"$installed"
done
if [ "$regsvr32_folder" = SysWOW64 ]; then
  # One class ID in both views: the 32-bit library in the 32-bit view, the
  # 64-bit one (for 64-bit Explorer) in the 64-bit view.
  check "the 64-bit library was registered with System32's regsvr32" \
    contains "$out" 'for 64-bit Explorer with "C:\windows\System32\regsvr32.exe"'
  check "the 64-bit view holds the class too" grep -qixF "$class_key" <<<"$installed"
else
  check "the class is not in the $OTHER_VIEW_NAME view" not grep -qixF "$OTHER_VIEW$class_key" <<<"$installed"
fi

echo "== booting through the launcher and through the extension"
boot_through_launcher "open with Kestrun.exe" open.bin
check "the boot library beside the launcher was the one called" test -s "$pkg/lorvane_calls.log"
records_before=$(records)
out=$(win "$WT\\hosts\\explorer_host.exe" "$WT\\images\\menu.bin"); status=$?
echo "$out"
check "the menu click started a boot (exit code $status)" equal "$status" 0
check "one new device record" equal "$(records)" $((records_before + 1))
read -r file address bytes path < <(last_record)
check "the device got the clicked image at the sample address" equal "$address $path" "0x80008000 $WT\\images\\menu.bin"
check "the device holds the clicked image's bytes" cmp -s "$T/images/menu.bin" "$T/device/$file"

echo "== booting through KestrunBoot.exe, as a script runs it"
records_before=$(records)
out=$(win "$W\\KestrunBoot.exe" "$WT\\images\\open.bin"); status=$?
echo "$out"
check "KestrunBoot.exe booted (exit code $status)" equal "$status" 0
check "one new device record" equal "$(records)" $((records_before + 1))
read -r file address bytes path < <(last_record)
check "the device got the image at the sample address" equal "$address $path" "0x80008000 $WT\\images\\open.bin"

if [ -n "$explorer_host64" ]; then
  echo "== 64-bit Explorer: Kestrun_Tool64.dll hands the click to the launcher"
  records_before=$(records)
  out=$(win "$WT\\hosts64\\explorer_host.exe" "$WT\\images\\menu64.bin"); status=$?
  echo "$out"
  check "the click started the launcher (exit code $status)" equal "$status" 0
  # The click only starts the launcher; it boots on its own.
  for _ in $(seq $((300 * ${KESTRUN_TIME_SCALE:-1}))); do
    [ "$(records)" -gt "$records_before" ] && break
    sleep 0.2
  done
  check "one new device record" equal "$(records)" $((records_before + 1))
  read -r file address bytes path < <(last_record)
  check "the device got the clicked image at the sample address" equal "$address $path" "0x80008000 $WT\\images\\menu64.bin"
  check "the device holds the clicked image's bytes" cmp -s "$T/images/menu64.bin" "$T/device/$file"
fi

echo "== uninstall.cmd that cannot finish"
out=$(as_user cmd /c "$W\\uninstall.cmd" /q); status=$?
check "without administrator rights: exit code 5 ($status)" equal "$status" 5
check "without administrator rights: explains how to run it" contains "$out" 'choose "Run as administrator"'
mv "$pkg/Lorvane.dll" "$pkg/Lorvane.dll.away"
out=$(win cmd /c "$W\\uninstall.cmd" /q); status=$?
echo "$out"
check "without the boot library: exit code 1 ($status)" equal "$status" 1
check "without the boot library: asks to put it back" contains "$out" "Put Lorvane.dll back"
check "nothing was removed: the extension" has_key "$HANDLER_KEY"
check "nothing was removed: the open command" has_key "$COMMAND_KEY"
mv "$pkg/Lorvane.dll.away" "$pkg/Lorvane.dll"

echo "== uninstall.cmd"
out=$(win cmd /c "$W\\uninstall.cmd" /q); status=$?
echo "$out"
check "removed (exit code $status)" equal "$status" 0
after=$(snapshot)
left=$(LC_ALL=C comm -13 <(echo "$before") <(echo "$after"))
unexpected=$(LC_ALL=C comm -23 <(echo "$left") <(echo "$SHARED_KEYS" | LC_ALL=C sort -u))
[ -z "$unexpected" ] || echo "keys left behind:"$'\n'"$unexpected"
check "no key of ours left beyond the shared ones" test -z "$unexpected"
check "another program's \"Open with\" entries stay" equal "$(others_open_with)" "KestrunTest.binfile|listed"
out=$(win cmd /c "$W\\uninstall.cmd" /q); status=$?
check "a second uninstall finds nothing to do (exit code $status)" equal "$status" 0

if [ "$sections" = binaries ]; then
  echo "$passed passed, $failed failed"
  [ "$failed" -eq 0 ] && [ "$passed" -gt 0 ]
  exit
fi

echo "== a folder with blanks is registered by its long path, quoted"
unpack_to "$T/with blanks/Kestrun"
out=$(win cmd /c "$WT\\with blanks\\Kestrun\\install.cmd" /q); status=$?
echo "$out"
check "installed (exit code $status)" equal "$status" 0
check "open command: the long path in quotes" \
  equal "$(value "$COMMAND_KEY")" "\"$WT\\with blanks\\Kestrun\\Kestrun.exe\" \"%1\""
boot_through_launcher "from the folder with blanks" open.bin
out=$(win cmd /c "$WT\\with blanks\\Kestrun\\uninstall.cmd" /q); status=$?
check "removed (exit code $status)" equal "$status" 0
check "no open command left" no_key "$COMMAND_KEY"

echo "== the longest folder the launcher's registry read allows"
# The open command must fit 260 bytes with its terminator: a quote, 241
# characters of folder (with its backslash), "Kestrun.exe", a quote, a blank,
# the quoted %1.
long_folder() {  # Windows folder of exactly $1 characters, with its backslash
  local base="$WT\\long$1\\"
  printf '%s%s\\' "$base" "$(printf 'k%.0s' $(seq $(($1 - ${#base} - 1))))"
}
for length in 242 241; do
  folder=$(long_folder $length)
  unix="$drive_c/${folder#C:\\}"; unix=${unix//\\//}
  unpack_to "${unix%/}"
done
folder=$(long_folder 242)
out=$(win cmd /c "${folder}install.cmd" /q); status=$?
echo "$out"
check "242 characters: refused with exit code 3 ($status)" equal "$status" 3
check "242 characters: wrote no open command" no_key "$COMMAND_KEY"
check "242 characters: registered no extension" no_key "$HANDLER_KEY"
folder=$(long_folder 241)
out=$(win cmd /c "${folder}install.cmd" /q); status=$?
check "241 characters: installed (exit code $status)" equal "$status" 0
check "241 characters: the open command has 259 characters" equal "$(value "$COMMAND_KEY" | tr -d '\n' | wc -c)" 259
boot_through_launcher "241 characters" open.bin
out=$(win cmd /c "${folder}uninstall.cmd" /q); status=$?
check "241 characters: removed (exit code $status)" equal "$status" 0

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ] && [ "$passed" -gt 0 ]
