# Shared by the package's tests (sourced): counting checks, a throwaway
# signing certificate, and for the tests under Wine: running Windows programs
# through $wine_run, the shared parent keys, and a package's rows against
# self-registration.

passed=0 failed=0
check() {
  local what=$1; shift
  if "$@"; then passed=$((passed + 1)); echo "ok: $what"
  else failed=$((failed + 1)); echo "FAILED: $what"; fi
}
# A difference is shown, for the log of a failed run.
equal() { [ "$1" == "$2" ] || { printf '  got:      %s\n  expected: %s\n' "$1" "$2"; return 1; }; }

# A CA and a code-signing certificate it issued, valid for a day, in <dir>:
# ca.pem (ca.key), signer.pem (signer.key).
#   throwaway_signing_certificate <dir> <the signer's subject, as openssl -subj takes it>
throwaway_signing_certificate() {
  local dir=$1 subject=$2
  openssl req -x509 -newkey rsa:2048 -nodes -days 1 -subj "/CN=Kestrun test CA" \
    -addext "basicConstraints=critical,CA:TRUE" -addext "keyUsage=critical,keyCertSign" \
    -keyout "$dir/ca.key" -out "$dir/ca.pem" 2>/dev/null &&
  openssl req -newkey rsa:2048 -nodes -subj "$subject" \
    -keyout "$dir/signer.key" -out "$dir/signer.csr" 2>/dev/null &&
  printf 'basicConstraints=CA:FALSE\nkeyUsage=critical,digitalSignature\nextendedKeyUsage=codeSigning\n' > "$dir/ext" &&
  openssl x509 -req -in "$dir/signer.csr" -CA "$dir/ca.pem" -CAkey "$dir/ca.key" -CAcreateserial -days 1 \
    -extfile "$dir/ext" -out "$dir/signer.pem" 2>/dev/null && test -s "$dir/signer.pem"
}

# Every Windows program runs bounded: a message box nobody expected would
# otherwise wait for a click forever. Under emulation (KESTRUN_TIME_SCALE) it
# gets longer: an export of the whole class tree alone can take minutes.
# msiexec's exit code arrives cut to 8 bits: 1603 (fatal error) reads as 67.
win() { timeout $((120 * ${KESTRUN_TIME_SCALE:-1})) "$wine_run" "$@" </dev/null 2>&1 | tr -d '\r'; return "${PIPESTATUS[0]}"; }
FATAL=$((1603 % 256))

# Keys many programs share, empty in a fresh prefix: Wine's uninstall deletes
# an empty parent it wrote into (Windows keeps it), and the next test would
# find it gone. A subkey of ours keeps them while the test runs (a value does
# not: a key with values but no subkeys is deleted all the same). Fails,
# naming the key, when one cannot be seeded: the comparisons would not hold.
SHARED_PARENTS=('*\ShellEx\ContextMenuHandlers' 'Wow6432Node\CLSID' 'Wow6432Node\Interface')
seed_shared_parents() {
  local parent
  for parent in "${SHARED_PARENTS[@]}"; do
    win reg add "HKLM\\Software\\Classes\\$parent\\KestrunPackageTest" /f >/dev/null ||
      { echo "could not seed $parent"; return 1; }
  done
}
unseed_shared_parents() {
  local parent
  for parent in "${SHARED_PARENTS[@]}"; do
    win reg delete "HKLM\\Software\\Classes\\$parent\\KestrunPackageTest" /f >/dev/null
  done
}

# "Open with": another program's entry in the list of .bin and a .bin
# association, which ours must leave alone. Needs CLASSES (the classes key
# written through); unseeding takes away only what seeding added.
OPEN_WITH_KEY='.bin\OpenWithList\Kestrun.exe' OTHER_OPEN_WITH='.bin\OpenWithList\KestrunTestOther.exe'
seed_open_with() {
  had_bin=$(win reg query "$CLASSES\\.bin" >/dev/null && echo yes)
  win reg add "$CLASSES\\.bin" /ve /d KestrunTest.binfile /f >/dev/null &&
    win reg add "$CLASSES\\$OTHER_OPEN_WITH" /f >/dev/null
}
unseed_open_with() {
  [ -n "${had_bin+seeded}" ] || return 0
  if [ -n "$had_bin" ]; then
    win reg delete "$CLASSES\\$OTHER_OPEN_WITH" /f >/dev/null
    win reg delete "$CLASSES\\.bin" /ve /f >/dev/null
  else
    win reg delete "$CLASSES\\.bin" /f >/dev/null
  fi
}

# What a package wrote against self-registration of the same files: each
# library is put back where the package had it (saved by save_package_folders
# while installed), registered by the regsvr32 of its kind (a 32-bit library
# by SysWOW64's, as Windows does), read back and unregistered; msi_registry.py
# compares. Needs drive_c, T, WT and here.
#   same_as_self_registration <before install> <installed> <without either>
# Each argument names a snapshot, $T/<name>.reg, of HKLM\Software\Classes.
PACKAGE_FOLDERS=('Program Files (x86)/Kestrun' 'Program Files/Kestrun')
save_package_folders() {
  local f
  for f in "${PACKAGE_FOLDERS[@]}"; do
    [ -d "$drive_c/$f" ] && mkdir -p "$T/files/$f" && cp "$drive_c/$f"/* "$T/files/$f/"
  done
}
regsvr32_for() {
  if python3 -c 'import struct,sys; d=open(sys.argv[1],"rb").read(4096); o=struct.unpack_from("<I",d,60)[0]; sys.exit(struct.unpack_from("<H",d,o+4)[0]!=0x14c)' "$1"
  then echo 'C:\windows\syswow64\regsvr32.exe'; else echo regsvr32; fi
}
same_as_self_registration() {
  local before=$1 installed=$2 base=$3 f library file path regsvr32 status=0 snapshots=()
  for f in "${PACKAGE_FOLDERS[@]}"; do
    [ -d "$T/files/$f" ] && mkdir -p "$drive_c/$f" && cp "$T/files/$f"/* "$drive_c/$f/"
  done
  # The 32-bit library first: compare takes its registration first.
  for f in "${PACKAGE_FOLDERS[@]}"; do
    for library in Kestrun_Tool.dll Kestrun_Tool64.dll; do
      file="$T/files/$f/$library"
      [ -f "$file" ] || continue
      path="C:/$f/$library" regsvr32=$(regsvr32_for "$file")
      path=${path//\//\\}
      win "$regsvr32" /s "$path" || { echo "regsvr32 $path failed"; status=1; }
      win reg export 'HKLM\Software\Classes' "$WT\\$library.reg" /y >/dev/null
      win "$regsvr32" /u /s "$path" >/dev/null
      snapshots+=("$T/$base.reg" "$T/$library.reg")
    done
  done
  for f in "${PACKAGE_FOLDERS[@]}"; do
    [ -d "$T/files/$f" ] && rm -rf "${drive_c:?}/$f"
  done
  [ "$status" -eq 0 ] && python3 "$here/msi_registry.py" compare "$T/$before.reg" "$T/$installed.reg" "${snapshots[@]}"
}
