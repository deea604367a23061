#!/usr/bin/env bash
# The Windows Installer package under Wine, as a user or a deployment system
# runs it: msiexec /qn refuses without the user's Lorvane.dll and changes
# nothing, installs (files in both Program Files, both registry views,
# Programs and Features, "Open with"), boots through the launcher (as the
# shell opens a file) and through the 64-bit extension (as 64-bit Explorer's
# menu does), is replaced in place by a newer version that finds Lorvane.dll
# through LORVANEDIR and keeps the user's edited settings, refuses a
# downgrade without changing anything, and uninstalls to the registry it
# started from, leaving the user's own Lorvane.dll and other programs' "Open
# with" entries alone. Installed into a folder of the administrator's (one
# with blanks, an apostrophe, brackets, braces and more), it is upgraded there
# without being given the folder again.
# All of that on Windows 11, where the package also installs the menu's
# package and registers it through powershell.exe, here a recording stand-in
# (command_recorder.exe): its package and folder, after the files are in
# place and before they go, the older version's removal first, Active Setup.
# Then Windows 10 without any of that, per machine and per user (ALLUSERS=""):
# files and keys in the user's folders and hive, an upgrade replacing the
# sample the user left alone; and per user on Windows 11 with a failing
# registration that does not fail the install.
#
#   msi_install_test.sh <package> <newer package> <wine-run> <shell_open.exe> <explorer_host.exe>
#                        <stand-in Lorvane.dll> <command_recorder.exe> [all|binaries]
#                        [64-bit explorer_host.exe]
#
# wine-run runs a Windows program in the prefix under test (the x64 test
# build's session, or any other runner with the same interface). "binaries"
# (the emulated machine with WoW64, the released package and 32-bit hosts)
# installs, boots and uninstalls only, on the prefix's own Windows version:
# the refusal, the upgrade, the per-user install and Windows 11 are the
# package's own logic, the same whatever the binaries, and the 64-bit twin
# covers them. A 64-bit explorer_host.exe, when given, also right-clicks
# through the 64-bit library.
set -uo pipefail
msi=$1 newer=$2 wine_run=$3 shell_open=$4 explorer_host=$5 standin=$6 recorder=$7 sections=${8:-all}
explorer_host64=${9:-}
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
# By its exit status: Wine's reg prints nothing for a key without values.
has_key() { win reg query "$1" /reg:"${2:-64}" >/dev/null; }
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

# What the launcher's "Open with" entries hold under <classes root>: its
# name, the type it opens, its entry in the type's list.
open_with() {
  echo "$(named_of "$1\\Applications\\Kestrun.exe" FriendlyAppName)|$(win reg query "$1\\Applications\\Kestrun.exe\\SupportedTypes" /v .bin |
    grep -c '^ *\.bin *REG_SZ *$')|$(has_key "$1\\$OPEN_WITH_KEY" && echo listed)"
}
others_open_with() { echo "$(default_of "$CLASSES\\.bin")|$(has_key "$CLASSES\\$OTHER_OPEN_WITH" && echo listed)"; }

# Windows 11 is a build number here (Wine 8 knows no such version): Windows
# 10's settings with the build the package reads.
CURRENT_VERSION='HKLM\Software\Microsoft\Windows NT\CurrentVersion'
windows() {  # windows 10|11
  win winecfg -v win10 >/dev/null || return 1
  [ "$1" = 10 ] || win reg add "$CURRENT_VERSION" /v CurrentBuildNumber /d 22631 /f >/dev/null
}
# The registration's program, where the package calls it, is the recorder.
# Each call it records reads here as one line: what it does (register,
# remove), then each argument after the comment sign as <state>:<path>, the
# state when it ran (file, folder, absent).
POWERSHELL_DIR="$drive_c/windows/system32/WindowsPowerShell/v1.0"
calls() {
  [ -f "$POWERSHELL_DIR/powershell.log" ] || return 0
  tr -d '\r' < "$POWERSHELL_DIR/powershell.log" | awk -F'\t' '
    function flush() { if (kind != "") print kind line }
    $1 == "call" { flush(); kind = $2 ~ /Add-AppxPackage/ ? "register" : $2 ~ /Remove-AppxPackage/ ? "remove" : "other"
                   line = ""; after = 0; next }
    $1 == "arg" && after { line = line " " $2 ":" $3 }
    $1 == "arg" && $3 == "#" { after = 1 }
    END { flush() }'
}
forget_calls() { rm -f "$POWERSHELL_DIR/powershell.log"; }
last_command() { tr -d '\r' < "$POWERSHELL_DIR/powershell.log" | sed -n 's/^call\t//p' | tail -n 1; }
fail_calls_with() { printf '%s' "$1" > "$POWERSHELL_DIR/powershell.exit"; }
ACTIVE_SETUP='Software\Microsoft\Active Setup\Installed Components\{9F9CA3F4-2245-45C3-9869-A5B6E42B2A5C}'
# The machine's entry: name|version|stub; the user's: version.
active_setup() { echo "$(default_of "HKLM\\$ACTIVE_SETUP")|$(named_of "HKLM\\$ACTIVE_SETUP" Version)|$(named_of "HKLM\\$ACTIVE_SETUP" StubPath)"; }
active_setup_done() { named_of "HKCU\\$ACTIVE_SETUP" Version; }
no_active_setup() { no_key "HKLM\\$ACTIVE_SETUP" && no_key "HKCU\\$ACTIVE_SETUP"; }

# A run that broke off may have left the product installed.
for p in "$newer_product" "$product"; do win msiexec /x "$p" /qn >/dev/null; done
cleanup() {
  unseed_shared_parents
  if [ "$sections" = all ]; then
    unseed_open_with
    [ -f "$T/powershell.exe" ] && cp "$T/powershell.exe" "$POWERSHELL_DIR/powershell.exe"
    rm -f "$POWERSHELL_DIR/powershell.log" "$POWERSHELL_DIR/powershell.exit"
    [ -z "${wine_version:-}" ] || win winecfg -v "$wine_version" >/dev/null
  fi
  rm -rf "$T"
}
trap cleanup EXIT
seed_shared_parents || { echo "FAILED: the shared parent keys"; exit 1; }
if [ "$sections" = all ]; then
  wine_version=$(win winecfg -v)
  cp "$POWERSHELL_DIR/powershell.exe" "$T/powershell.exe" && cp "$recorder" "$POWERSHELL_DIR/powershell.exe" ||
    { echo "FAILED: the stand-in for powershell.exe"; exit 1; }
  forget_calls
  seed_open_with && windows 11 || { echo "FAILED: the other program's \"Open with\" entries, Windows 11"; exit 1; }
fi
snapshot "$CLASSES" start
# The 32-bit programs, the settings and the copy of Lorvane.dll in the 32-bit
# Program Files; the 64-bit library in the 64-bit one, with the menu's package
# on Windows 11.
folder="$drive_c/Program Files (x86)/Kestrun" folder64="$drive_c/Program Files/Kestrun"
WF='C:\Program Files (x86)\Kestrun\' WF64='C:\Program Files\Kestrun\'
msix=Kestrun.ContextMenu.msix

if [ "$sections" = all ]; then
echo "== without Lorvane.dll beside the package"
start=$(now)
win msiexec /i "$WT\\package\\Kestrun.msi" /qn >/dev/null; status=$?
echo "refused in $(took "$start") s"
check "refused with 1603 (exit code $status)" equal "$status" "$FATAL"
check "installed no file" test ! -e "$folder" -a ! -e "$folder64"
check "no entry in Programs and Features" no_key "$ARP\\$product"
check "wrote no key" no_key "$CLASSES\\$COMMAND_KEY"
check "ran nothing" equal "$(calls)" ""
fi

echo "== install, Lorvane.dll beside the package"
cp "$standin" "$T/package/Lorvane.dll"
start=$(now)
win msiexec /i "$WT\\package\\Kestrun.msi" /qn; status=$?
echo "installed in $(took "$start") s"
check "installed (exit code $status)" equal "$status" 0
check "the 32-bit programs, the settings and a copy of Lorvane.dll in Program Files (x86)\\Kestrun" \
  equal "$(installed_files "$folder")" "Kestrun.exe KestrunBoot.exe Kestrun_Tool.dll LORVANE_SET.INI Lorvane.dll "
if [ "$sections" = all ]; then
  check "the 64-bit library and the menu's package in Program Files\\Kestrun" \
    equal "$(installed_files "$folder64")" "$msix Kestrun_Tool64.dll "
  # (Each package's holds its version: package.msi.contents.)
  check "the menu's package is the package's" cmp -s "$(packaged older "$msix")" "$folder64/$msix"
  check "registered for the installing user once, with the package and its folder, both in place" \
    equal "$(calls)" "register file:$WF64$msix folder:$WF64"
  check "Active Setup registers every other user with the same command" \
    equal "$(active_setup)" "Quorvex Kestrun|${version//./,}|$(last_command)"
  check "and has done so for the installing user" equal "$(active_setup_done)" "${version//./,}"
  check "\"Open with\": the launcher's name, .bin, its entry in the list of .bin" \
    equal "$(open_with "$CLASSES")" "Quorvex Kestrun|1|listed"
  forget_calls
else
  check "the 64-bit library in Program Files\\Kestrun" equal "$(installed_files "$folder64")" "Kestrun_Tool64.dll "
fi
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
  "Kestrun.exe KestrunBoot.exe Kestrun_Tool.dll LORVANE_SET.INI Lorvane.dll  $msix Kestrun_Tool64.dll "
check "the menu's package is the newer one (Wine: by its hash, at the same size)" \
  cmp -s "$(packaged newer "$msix")" "$folder64/$msix"
# The older product's removal within the upgrade takes the older
# registration away; the newer one registers after it.
check "the older version's registration removed, then the newer one's made" \
  equal "$(calls)" "remove file:$WF64$msix"$'\n'"register file:$WF64$msix folder:$WF64"
check "Active Setup: the newer version, the newer package" \
  equal "$(active_setup)|$(active_setup_done)" "Quorvex Kestrun|${newer_version//./,}|$(last_command)|${newer_version//./,}"
forget_calls
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
check "and runs nothing" equal "$(calls)" ""

echo "== uninstall"
start=$(now)
win msiexec /x "$WT\\newer\\Kestrun.msi" /qn; status=$?
echo "uninstalled in $(took "$start") s"
check "uninstalled (exit code $status)" equal "$status" 0
check "the registration removed for the user while the package was still there" \
  equal "$(calls)" "remove file:$WF64$msix"
forget_calls
check "no file left" test ! -e "$folder" -a ! -e "$folder64"
snapshot "$CLASSES" end
check "the registry is as before the install, key by key" same_registry start end
check "another program's \"Open with\" entries stay" equal "$(others_open_with)" "KestrunTest.binfile|listed"
check "no Active Setup entry left" no_active_setup
check "no entry in Programs and Features" no_key "$ARP\\$newer_product"
check "the user's Lorvane.dll beside the package stays" cmp -s "$standin" "$T/package/Lorvane.dll"
check "the user's Lorvane.dll in LORVANEDIR stays" cmp -s "$standin" "$T/vendor/Lorvane.dll"

echo "== a folder of the administrator's, not given again to the upgrade"
# Of the characters a folder may hold, those that mean something to the
# command line, to PowerShell or to the Installer's formatted text.
hard="O'Brien [x] {y} \$z;&%a\`c"
chosen="$T/Tools/$hard/Kestrun" WC="$WT\\Tools\\$hard\\Kestrun" WC64="$WT\\Tools\\$hard\\Kestrun\\ContextMenu\\"
win msiexec /i "$WT\\package\\Kestrun.msi" "INSTALLDIR=$WC" /qn; status=$?
check "installed into it (exit code $status)" equal "$status" 0
check "the 64-bit library and the menu's package in a folder of their own within it" \
  equal "$(installed_files "$chosen/ContextMenu")" "$msix Kestrun_Tool64.dll "
check "registered with that package and that folder, as they are" equal "$(calls)" "register file:$WC64$msix folder:$WC64"
check "the folders are remembered for the next version" \
  equal "$(named_of "$REMEMBERED" INSTALLDIR)|$(named_of "$REMEMBERED" INSTALLDIR64)" "$WC\\|$WC64"
forget_calls
start=$(now)
win msiexec /i "$WT\\newer\\Kestrun.msi" "LORVANEDIR=$WT\\vendor" /qn; status=$?
echo "upgraded in $(took "$start") s"
check "upgraded without naming the folder (exit code $status)" equal "$status" 0
check "every file in the administrator's folder" \
  equal "$(installed_files "$chosen") $(installed_files "$chosen/ContextMenu")" \
  "ContextMenu Kestrun.exe KestrunBoot.exe Kestrun_Tool.dll LORVANE_SET.INI Lorvane.dll  $msix Kestrun_Tool64.dll "
# (Wine's removal of the older product within the upgrade takes the default
# folders, so the path its command names is not this one.)
check "the older registration removed, the newer one made there" \
  equal "$(calls | sed '1s/ .*//')" "remove"$'\n'"register file:$WC64$msix folder:$WC64"
check "nothing in either Program Files" test ! -e "$folder" -a ! -e "$folder64"
check "the older sample replaced by the newer one" cmp -s "$(packaged newer LORVANE_SET.INI)" "$chosen/LORVANE_SET.INI"
check "the open command names the launcher there" \
  equal "$(default_of "$CLASSES\\$COMMAND_KEY")" "\"$WC\\Kestrun.exe\" \"%1\""
# Wine, unlike Windows, takes no folder from the installed product to remove
# it (nor from the remembered one, nor the build: the searches run at
# installs only).
forget_calls
win msiexec /x "$WT\\newer\\Kestrun.msi" "INSTALLDIR=$WC" "INSTALLDIR64=$WC64" /qn; status=$?
check "uninstalled (exit code $status)" equal "$status" 0
check "the registration removed before the files" equal "$(calls)" "remove file:$WC64$msix"
forget_calls
check "no file left there" test ! -e "$chosen"
check "nothing remembered" no_key "$REMEMBERED"
snapshot "$CLASSES" chosen-end
check "the registry is as before the install, key by key" same_registry start chosen-end

echo "== Windows 10: as before, without the menu's package"
windows 10 || check "Windows 10" false
# Wine records the menu package's component as installed although its
# condition kept it out (with an empty path), so at an uninstall or the older
# version's removal it runs the removal by name, which finds nothing to
# remove. Windows records the component as absent and runs nothing.
removals_only() { [ "$(calls | grep -vc '^remove ')" -eq 0 ]; }
start=$(now)
win msiexec /i "$WT\\package\\Kestrun.msi" /qn; status=$?
echo "installed in $(took "$start") s"
check "installed (exit code $status)" equal "$status" 0
check "the 64-bit library alone in Program Files\\Kestrun" equal "$(installed_files "$folder64")" "Kestrun_Tool64.dll "
check "nothing registered, no Active Setup entry" equal "$(calls)|$(no_active_setup && echo none)" "|none"
start=$(now)
win msiexec /x "$WT\\package\\Kestrun.msi" /qn; status=$?
echo "uninstalled in $(took "$start") s"
check "uninstalled (exit code $status)" equal "$status" 0
check "no registration (Wine: at most the removal by name)" removals_only
forget_calls
snapshot "$CLASSES" windows10-end
check "the registry is as before the install, key by key" same_registry start windows10-end

echo "== per user: ALLUSERS=\"\", on Windows 10"
# Wine does not merge the user's classes into HKEY_CLASSES_ROOT and always
# runs as an administrator: where things land is what can be checked here.
local_app_data=$(win cmd /c 'echo %LOCALAPPDATA%' | tail -n 1)
user_folder=$(win winepath -u "$local_app_data\\Programs\\Kestrun")
WU="$local_app_data\\Programs\\Kestrun\\"
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
check "no registration (Wine: at most the removal by name)" removals_only
forget_calls

echo "== per user on Windows 11, the registration failing"
windows 11 || check "Windows 11" false
fail_calls_with 0x80073CF9  # the same version registered already
win msiexec /i "$WT\\package\\Kestrun.msi" /l*v "$WT\\user11.log" ALLUSERS= /qn; status=$?
check "installed all the same (exit code $status)" equal "$status" 0
check "the 64-bit library and the menu's package in a folder of their own" \
  equal "$(installed_files "$user_folder") $(installed_files "$user_folder/ContextMenu")" \
  "ContextMenu Kestrun.exe KestrunBoot.exe Kestrun_Tool.dll LORVANE_SET.INI Lorvane.dll  $msix Kestrun_Tool64.dll "
check "registered for the user with that package and folder" \
  equal "$(calls)" "register file:${WU}ContextMenu\\$msix folder:${WU}ContextMenu\\"
# Wine's log names the action, not the code it ended with (Windows' says
# "returned actual error code ... translated to success due to continue
# marking").
check "the log shows it ran and the install went on" \
  grep -q 'Action ended .*: RegisterMenuPackage\. Return value 1\.' "$T/user11.log"
check "no Active Setup entry: a per-user install has no other users" no_active_setup
forget_calls
fail_calls_with 0
# (Wine: the folders again, as above.)
win msiexec /x "$WT\\package\\Kestrun.msi" "INSTALLDIR64=${WU}ContextMenu\\" ALLUSERS= /qn; status=$?
check "uninstalled for the user (exit code $status)" equal "$status" 0
check "the registration removed before the files" equal "$(calls)" "remove file:${WU}ContextMenu\\$msix"
check "no file left in the user's folder" test ! -e "$user_folder"
snapshot 'HKCU\Software' user11-end
check "the user's registry is as before" same_registry user-start user11-end

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ] && [ "$passed" -gt 0 ]
