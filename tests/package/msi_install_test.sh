#!/usr/bin/env bash
# The Windows Installer package under Wine, as a user or a deployment system
# runs it: msiexec /qn refuses without the user's Lorvane.dll and changes
# nothing, installs (files in both Program Files, both registry views,
# Programs and Features), boots through the launcher (as the shell opens a
# file) and through the 64-bit extension (as 64-bit Explorer's menu does), is
# replaced in place by a newer version that finds Lorvane.dll through
# LORVANEDIR and keeps the user's edited settings, refuses a downgrade without
# changing anything, and uninstalls to the registry it started from, leaving
# the user's own Lorvane.dll alone. Installed into a folder of the
# administrator's, it is upgraded there without being given the folder again.
# Then the same per user (ALLUSERS=""): files and keys land in the user's
# folders and hive, and an upgrade replaces the sample settings the user left
# alone.
#
#   msi_install_test.sh <package> <newer package> <wine-run> <shell_open.exe> <explorer_host.exe>
#                        <stand-in Lorvane.dll> [all|binaries] [64-bit explorer_host.exe]
#
# wine-run runs a Windows program in the prefix under test (the x64 test
# build's session, or any other runner with the same interface). "binaries"
# (the emulated machine with WoW64, the released package and 32-bit hosts)
# installs, boots and uninstalls only: the refusal, the upgrade and the
# per-user install are the package's own logic, the same whatever the
# binaries, and the 64-bit twin covers them. A 64-bit explorer_host.exe, when
# given, also right-clicks through the 64-bit library.
set -uo pipefail
msi=$1 newer=$2 wine_run=$3 shell_open=$4 explorer_host=$5 standin=$6 sections=${7:-all} explorer_host64=${8:-}
here=$(cd "$(dirname "$0")" && pwd)
source "$here/package_test_common.sh"

now() { date +%s.%N; }
took() { awk -v a="$1" -v b="$(now)" 'BEGIN { printf "%.2f", b - a }'; }

drive_c=$(win winepath -u 'C:\') || { echo "no Wine prefix"; exit 1; }
drive_c=${drive_c%/}
T="$drive_c/KestrunMsiTest" WT='C:\KestrunMsiTest'
trap 'rm -rf "$T"' EXIT
rm -rf "$T"
mkdir -p "$T/package" "$T/newer" "$T/vendor" "$T/device" "$T/hosts" "$T/images"
cp "$msi" "$T/package/Kestrun.msi"
cp "$newer" "$T/newer/Kestrun.msi"
cp "$standin" "$T/vendor/Lorvane.dll"
cp "$shell_open" "$explorer_host" "$T/hosts/"
[ -z "$explorer_host64" ] || { mkdir -p "$T/hosts64" && cp "$explorer_host64" "$T/hosts64/"; }
head -c 65536 /dev/urandom > "$T/images/open.bin"
head -c 32768 /dev/urandom > "$T/images/menu.bin"
# The files as each package holds them.
msiextract -C "$T/older-files" "$msi" >/dev/null && msiextract -C "$T/newer-files" "$newer" >/dev/null ||
  { echo "cannot extract the packages"; exit 1; }
packaged() { find "$T/$1-files" -name "$2" -print -quit; }  # packaged older|newer <file name>

property() { msiinfo export "$1" Property | tr -d '\r' | awk -F'\t' -v p="$2" '$1 == p { print $2 }'; }
product=$(property "$msi" ProductCode) newer_product=$(property "$newer" ProductCode)
version=$(property "$msi" ProductVersion) newer_version=$(property "$newer" ProductVersion)
CLASSES='HKLM\Software\Classes'
ARP='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall'
COMMAND_KEY='Applications\Kestrun.exe\shell\open\command'
HANDLER_KEY='*\ShellEx\ContextMenuHandlers\Quorvex_Kestrun'
CLASS_KEY='CLSID\{8E16B892-3BB6-4001-B262-8CEDC2A6041D}'
REMEMBERED='HKLM\Software\Kestrun'

msiexec() { win msiexec "$@" /qn; }
default_of() { win reg query "$1" /ve /reg:"${2:-64}" | sed -n 's/^ *(Default) *REG_SZ *//p'; }
named_of() { win reg query "$1" /v "$2" | sed -n "s/^ *$2 *REG_SZ *//p"; }
has_key() { win reg query "$1" /reg:"${2:-64}" | grep -q '^HKEY_'; }
no_key() { ! has_key "$@"; }
snapshot() { win reg export "$1" "$WT\\$2.reg" /y >/dev/null; }  # snapshot <root key> <name>
same_registry() { python3 "$here/msi_registry.py" same "$T/$1.reg" "$T/$2.reg"; }
records() { [ -f "$T/device/device.log" ] && tr -d '\r' < "$T/device/device.log" | wc -l || echo 0; }
# The newest device record: the address it loaded at, the image it got.
last_boot() { tr -d '\r' < "$T/device/device.log" | tail -n 1 | awk -F'\t' '{ sub("image=", "", $4); print $2, $4 }'; }
last_image() { last_boot | cut -d' ' -f2-; }
installed_files() { (cd "$1" 2>/dev/null && ls | LC_ALL=C sort | tr '\n' ' '); }
# Every file of ours with its checksum, and the classes: what a refused
# install must leave as it was.
state() { (cd "$drive_c" && find "Program Files (x86)/Kestrun" "Program Files/Kestrun" -type f -exec md5sum {} + | sort) \
            > "$T/$1.files"; snapshot "$CLASSES" "$1"; }
same_state() { cmp -s "$T/$1.files" "$T/$2.files" && same_registry "$1" "$2" >/dev/null; }

# A run that broke off may have left the product installed.
for p in "$newer_product" "$product"; do win msiexec /x "$p" /qn >/dev/null; done
trap 'unseed_shared_parents; rm -rf "$T"' EXIT
seed_shared_parents || { echo "FAILED: the shared parent keys"; exit 1; }
snapshot "$CLASSES" start
# The 32-bit programs, the settings and the copy of Lorvane.dll in the 32-bit
# Program Files; the 64-bit library in the 64-bit one.
folder="$drive_c/Program Files (x86)/Kestrun" folder64="$drive_c/Program Files/Kestrun"
WF='C:\Program Files (x86)\Kestrun\'

if [ "$sections" = all ]; then
echo "== without Lorvane.dll beside the package"
start=$(now)
win msiexec /i "$WT\\package\\Kestrun.msi" /qn >/dev/null; status=$?
echo "refused in $(took "$start") s"
check "refused with 1603 (exit code $status)" equal "$status" "$FATAL"
check "installed no file" test ! -e "$folder" -a ! -e "$folder64"
check "no entry in Programs and Features" no_key "$ARP\\$product"
check "wrote no key" no_key "$CLASSES\\$COMMAND_KEY"
fi

echo "== install, Lorvane.dll beside the package"
cp "$standin" "$T/package/Lorvane.dll"
start=$(now)
win msiexec /i "$WT\\package\\Kestrun.msi" /qn; status=$?
echo "installed in $(took "$start") s"
check "installed (exit code $status)" equal "$status" 0
check "the 32-bit programs, the settings and a copy of Lorvane.dll in Program Files (x86)\\Kestrun" \
  equal "$(installed_files "$folder")" "Kestrun.exe KestrunBoot.exe Kestrun_Tool.dll LORVANE_SET.INI Lorvane.dll "
check "the 64-bit library in Program Files\\Kestrun" equal "$(installed_files "$folder64")" "Kestrun_Tool64.dll "
check "the copy is the user's library" cmp -s "$standin" "$folder/Lorvane.dll"
check "the settings are the sample" cmp -s "$(packaged older LORVANE_SET.INI)" "$folder/LORVANE_SET.INI"
check "Programs and Features: name, version, publisher" equal \
  "$(named_of "$ARP\\$product" DisplayName)|$(named_of "$ARP\\$product" DisplayVersion)|$(named_of "$ARP\\$product" Publisher)" \
  "Kestrun|$version|Kestrun"
check "open command: the launcher's long path quoted, then the quoted file" \
  equal "$(default_of "$CLASSES\\$COMMAND_KEY")" "\"${WF}Kestrun.exe\" \"%1\""
check "the handler, in the shared keys every program sees" has_key "$CLASSES\\$HANDLER_KEY"
server32=$(default_of "$CLASSES\\$CLASS_KEY\\InprocServer32" 32)
server64=$(default_of "$CLASSES\\$CLASS_KEY\\InprocServer32" 64)
echo "in-process servers: $server32 (32-bit view), $server64 (64-bit view)"
check "the two views name two different libraries" test -n "$server32" -a -n "$server64" -a "$server32" != "$server64"
check "the shared keys are not written into the 32-bit view" no_key "$CLASSES\\Wow6432Node\\$HANDLER_KEY"

echo "== the user's settings; booting through the launcher and through the 64-bit extension"
snapshot "$CLASSES" installed
# The user's own: another address, and the boot library's section (the
# stand-in's, naming the folder that plays the device). Wine keeps an edited
# unversioned file at an upgrade only while its size is that of the newer
# package's file (it compares no dates, which Windows does): the edit is
# padded to that size with a comment.
newer_size=$(msiinfo export "$newer" File | tr -d '\r' | awk -F'\t' '$1 == "LORVANE_SET.INI" { print $4 }')
printf '%s\r\n' '[QUORVEX_KESTRUN]' 'DnLoadAddr=0x80010000' '[LORVANE_STANDIN]' "DeviceDir=$WT\\device" > "$T/edited.ini"
pad=$((newer_size - $(stat -c %s "$T/edited.ini") - 3))
[ "$pad" -ge 0 ] && { printf ';'; printf '%*s' "$pad" '' | tr ' ' '-'; printf '\r\n'; } >> "$T/edited.ini"
check "the edit has the newer sample's size ($newer_size bytes)" equal "$(stat -c %s "$T/edited.ini")" "$newer_size"
cp "$T/edited.ini" "$folder/LORVANE_SET.INI"
win "$WT\\hosts\\shell_open.exe" "$WT\\images\\open.bin"; status=$?
check "the launcher booted (exit code $status)" equal "$status" 0
check "the device got the opened image at the user's address" \
  equal "$(records) $(last_boot)" "1 address=0x80010000 $WT\\images\\open.bin"
check "through the installed copy of Lorvane.dll" test -s "$folder/lorvane_calls.log"
# Clicks "Quorvex Kestrun" in the host given as $1 and waits for the boot
# (the 64-bit extension starts the launcher and returns: the boot follows).
click() {
  local host=$1 image=$2 expected=$3 status
  win "$WT\\$host\\explorer_host.exe" "$WT\\images\\$image"; status=$?
  check "$host: the menu click was taken (exit code $status)" equal "$status" 0
  for _ in $(seq $((100 * ${KESTRUN_TIME_SCALE:-1}))); do [ "$(records)" -ge "$expected" ] && break; sleep 0.1; done
  check "$host: the clicked image was booted" equal "$(records) $(last_image)" "$expected $WT\\images\\$image"
}
click hosts menu.bin 2
[ -z "$explorer_host64" ] || click hosts64 menu.bin 3
before=$(records)
win "${WF}KestrunBoot.exe" "$WT\\images\\open.bin"; status=$?
check "the installed KestrunBoot.exe booted (exit code $status)" equal "$status" 0
check "the device got the image at the user's address" \
  equal "$(records) $(last_boot)" "$((before + 1)) address=0x80010000 $WT\\images\\open.bin"
rm -f "$folder/lorvane_calls.log"

if [ "$sections" = binaries ]; then
  echo "== uninstall"
  save_package_folders
  win msiexec /x "$WT\\package\\Kestrun.msi" /qn; status=$?
  check "uninstalled (exit code $status)" equal "$status" 0
  check "no file left" test ! -e "$folder" -a ! -e "$folder64"
  snapshot "$CLASSES" end
  check "the registry is as before the install, key by key" same_registry start end
  # Here the package's 32-bit library is the real one: its rows against the
  # 32-bit regsvr32 (the 64-bit build's twin package meets them in
  # msi_registration_test.sh).
  echo "== the package's rows against self-registration of the same files"
  check "the same keys and values" same_as_self_registration start installed end
  echo "$passed passed, $failed failed"
  [ "$failed" -eq 0 ] && [ "$passed" -gt 0 ]
  exit
fi

echo "== upgrade to $newer_version, Lorvane.dll given as LORVANEDIR"
start=$(now)
win msiexec /i "$WT\\newer\\Kestrun.msi" "LORVANEDIR=$WT\\vendor" /qn; status=$?
echo "upgraded in $(took "$start") s"
check "upgraded (exit code $status)" equal "$status" 0
check "the older version is gone from Programs and Features" no_key "$ARP\\$product"
check "the newer one is there" equal "$(named_of "$ARP\\$newer_product" DisplayVersion)" "$newer_version"
check "in place, with the copy of Lorvane.dll" equal "$(installed_files "$folder") $(installed_files "$folder64")" \
  "Kestrun.exe KestrunBoot.exe Kestrun_Tool.dll LORVANE_SET.INI Lorvane.dll  Kestrun_Tool64.dll "
check "the copy is still the user's library" cmp -s "$standin" "$folder/Lorvane.dll"
check "the user's edited settings stay" cmp -s "$T/edited.ini" "$folder/LORVANE_SET.INI"
check "the launcher is the newer package's" cmp -s "$(packaged newer Kestrun.exe)" "$folder/Kestrun.exe"
check "the 64-bit library is the newer package's" cmp -s "$(packaged newer Kestrun_Tool64.dll)" "$folder64/Kestrun_Tool64.dll"
check "the open command still names the launcher" \
  equal "$(default_of "$CLASSES\\$COMMAND_KEY")" "\"${WF}Kestrun.exe\" \"%1\""
snapshot "$CLASSES" upgraded
# The older product's removal came last: it must have taken nothing the
# newer one holds.
check "every key as the install wrote it" same_registry installed upgraded
# Without its settings the launcher would wait on a message box.
if cmp -s "$T/edited.ini" "$folder/LORVANE_SET.INI"; then
  win "$WT\\hosts\\shell_open.exe" "$WT\\images\\open.bin"; status=$?
  check "the newer launcher booted (exit code $status)" equal "$status" 0
  check "with the user's settings" equal "$(records) $(last_boot)" "4 address=0x80010000 $WT\\images\\open.bin"
  rm -f "$folder/lorvane_calls.log"
fi
state before-downgrade
win msiexec /i "$WT\\package\\Kestrun.msi" /qn; status=$?
check "the older version refuses to replace the newer (exit code $status)" equal "$status" "$FATAL"
check "and leaves it installed" has_key "$ARP\\$newer_product"
state after-downgrade
check "and changes no file and no key" same_state before-downgrade after-downgrade

echo "== uninstall"
start=$(now)
win msiexec /x "$WT\\newer\\Kestrun.msi" /qn; status=$?
echo "uninstalled in $(took "$start") s"
check "uninstalled (exit code $status)" equal "$status" 0
check "no file left" test ! -e "$folder" -a ! -e "$folder64"
snapshot "$CLASSES" end
check "the registry is as before the install, key by key" same_registry start end
check "no entry in Programs and Features" no_key "$ARP\\$newer_product"
check "the user's Lorvane.dll beside the package stays" cmp -s "$standin" "$T/package/Lorvane.dll"
check "the user's Lorvane.dll in LORVANEDIR stays" cmp -s "$standin" "$T/vendor/Lorvane.dll"

echo "== a folder of the administrator's, not given again to the upgrade"
chosen="$T/Tools/Kestrun" WC="$WT\\Tools\\Kestrun"
win msiexec /i "$WT\\package\\Kestrun.msi" "INSTALLDIR=$WC" /qn; status=$?
check "installed into it (exit code $status)" equal "$status" 0
check "the folder is remembered for the next version" \
  equal "$(named_of "$REMEMBERED" INSTALLDIR)|$(named_of "$REMEMBERED" INSTALLDIR64)" "$WC\\|$WC\\"
start=$(now)
win msiexec /i "$WT\\newer\\Kestrun.msi" "LORVANEDIR=$WT\\vendor" /qn; status=$?
echo "upgraded in $(took "$start") s"
check "upgraded without naming the folder (exit code $status)" equal "$status" 0
check "every file in the administrator's folder" \
  equal "$(installed_files "$chosen")" "Kestrun.exe KestrunBoot.exe Kestrun_Tool.dll Kestrun_Tool64.dll LORVANE_SET.INI Lorvane.dll "
check "nothing in either Program Files" test ! -e "$folder" -a ! -e "$folder64"
check "the older sample replaced by the newer one" cmp -s "$(packaged newer LORVANE_SET.INI)" "$chosen/LORVANE_SET.INI"
check "the open command names the launcher there" \
  equal "$(default_of "$CLASSES\\$COMMAND_KEY")" "\"$WC\\Kestrun.exe\" \"%1\""
# Wine, unlike Windows, takes no folder from the installed product to remove
# it (nor from the remembered one: the search runs at installs only).
win msiexec /x "$WT\\newer\\Kestrun.msi" "INSTALLDIR=$WC" /qn; status=$?
check "uninstalled (exit code $status)" equal "$status" 0
check "no file left there" test ! -e "$chosen"
check "nothing remembered" no_key "$REMEMBERED"
snapshot "$CLASSES" chosen-end
check "the registry is as before the install, key by key" same_registry start chosen-end

echo "== per user: ALLUSERS=\"\""
# Wine does not merge the user's classes into HKEY_CLASSES_ROOT and always
# runs as an administrator: where things land is what can be checked here.
local_app_data=$(win cmd /c 'echo %LOCALAPPDATA%' | tail -n 1)
user_folder=$(win winepath -u "$local_app_data\\Programs\\Kestrun")
snapshot 'HKCU\Software' user-start
win msiexec /i "$WT\\package\\Kestrun.msi" ALLUSERS= /qn; status=$?
check "installed for the user (exit code $status)" equal "$status" 0
# One folder, as Windows' own per-user install makes of both Program Files.
check "every file in the user's LocalAppData\\Programs\\Kestrun" \
  equal "$(installed_files "$user_folder")" "Kestrun.exe KestrunBoot.exe Kestrun_Tool.dll Kestrun_Tool64.dll LORVANE_SET.INI Lorvane.dll "
check "nothing in either Program Files" test ! -e "$folder" -a ! -e "$folder64"
check "open command under HKCU\\Software\\Classes" \
  equal "$(default_of "HKCU\\Software\\Classes\\$COMMAND_KEY")" "\"$local_app_data\\Programs\\Kestrun\\Kestrun.exe\" \"%1\""
check "the handler under HKCU\\Software\\Classes" has_key "HKCU\\Software\\Classes\\$HANDLER_KEY"
check "no key for the whole machine" no_key "$CLASSES\\$COMMAND_KEY"
check "the folders remembered for the user, not for the machine" equal "$(named_of 'HKCU\Software\Kestrun' INSTALLDIR64)|$(no_key "$REMEMBERED" && echo none)" \
  "$local_app_data\\Programs\\Kestrun\\|none"
# Wine keeps no install context for an upgrade or a removal: it is given
# again. (Wine's msiexec reads a property given next after ALLUSERS= as its
# value.)
win msiexec /i "$WT\\newer\\Kestrun.msi" "LORVANEDIR=$WT\\vendor" ALLUSERS= /qn; status=$?
check "upgraded for the user (exit code $status)" equal "$status" 0
check "the sample the user left alone is the newer one" \
  cmp -s "$(packaged newer LORVANE_SET.INI)" "$user_folder/LORVANE_SET.INI"
check "the copy of Lorvane.dll stays" cmp -s "$standin" "$user_folder/Lorvane.dll"
win msiexec /x "$WT\\newer\\Kestrun.msi" ALLUSERS= /qn; status=$?
check "uninstalled for the user (exit code $status)" equal "$status" 0
check "no file left in the user's folder" test ! -e "$user_folder"
snapshot 'HKCU\Software' user-end
check "the user's registry is as before" same_registry user-start user-end

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ] && [ "$passed" -gt 0 ]
