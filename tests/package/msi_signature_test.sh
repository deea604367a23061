#!/usr/bin/env bash
# Signing with a throwaway certificate made here: the package step signs the
# programs before they go into the package and the package itself; the
# signatures verify against the issuing CA and no longer do once one byte of
# the signed content changes. (Wine installs unsigned and tampered packages
# alike: osslsigncode verify is the check.)
#
#   msi_signature_test.sh <work dir> <build_msi.py and its arguments, without --out and --work>
set -uo pipefail
work=$1; shift
here=$(cd "$(dirname "$0")" && pwd)
source "$here/package_test_common.sh"
verifies() { osslsigncode verify -CAfile "$work/ca.pem" -in "$1" >"$work/verify.log" 2>&1; }
fails_to_verify() { ! verifies "$1"; }
has_signature_stream() { msiinfo streams "$1" | grep -q 'DigitalSignature$'; }

rm -rf "$work" && mkdir -p "$work"
trap 'rm -rf "$work"' EXIT
check "made a throwaway code-signing certificate" throwaway_signing_certificate "$work" "/CN=Kestrun test signer"

KESTRUN_SIGN_CERT="$work/signer.pem" KESTRUN_SIGN_KEY="$work/signer.key" KESTRUN_SIGN_CA="$work/ca.pem" \
  "$@" --work "$work/stage" --out "$work/Kestrun.msi"
check "the package step signed and verified the package" verifies "$work/Kestrun.msi"
check "the package holds a signature stream" has_signature_stream "$work/Kestrun.msi"
mkdir -p "$work/extracted"
(cd "$work/extracted" && msiextract "$work/Kestrun.msi" >/dev/null)
for program in Kestrun.exe Kestrun_Tool.dll; do
  path=$(find "$work/extracted" -name "$program" | head -n 1)
  check "$program in the package is signed" verifies "$path"
done

# One byte of the embedded cabinet changed.
cp "$work/Kestrun.msi" "$work/tampered.msi"
offset=$(grep -obUaP 'MSCF' "$work/tampered.msi" | head -n 1 | cut -d: -f1)
check "found the cabinet in the package" test -n "$offset"
position=$((offset + 200))
byte=$(od -An -tu1 -j "$position" -N1 "$work/tampered.msi" | tr -d ' ')
printf "$(printf '\\%03o' $(((byte + 1) % 256)))" | dd of="$work/tampered.msi" bs=1 seek="$position" conv=notrunc status=none
check "one byte changed" fails_to_verify "$work/tampered.msi"

# Half a configuration is a mistake, not a reason to ship unsigned; a
# signature that does not verify stops the step too. Either way its last line
# says why.
last_error() { tail -n 1 "$work/error.log"; }
KESTRUN_SIGN_CERT="$work/signer.pem" "$@" --work "$work/stage2" --out "$work/half.msi" 2>"$work/error.log"
check "a certificate without a key stops the package step" test ! -e "$work/half.msi"
check "and says so" equal "$(last_error)" "build_msi.py: set both KESTRUN_SIGN_CERT and KESTRUN_SIGN_KEY, or neither"
KESTRUN_SIGN_CERT="$work/signer.pem" KESTRUN_SIGN_KEY="$work/signer.key" KESTRUN_SIGN_CA="$work/signer.pem" \
  "$@" --work "$work/stage3" --out "$work/unverified.msi" 2>"$work/error.log"
check "a signature that does not verify against the issuers stops it" test ! -e "$work/unverified.msi"
check "and says so" equal "$(last_error)" "build_msi.py: osslsigncode verify failed (exit code 1)"

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ] && [ "$passed" -gt 0 ]
