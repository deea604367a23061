#!/usr/bin/env bash
# The sparse package signed with a throwaway certificate made here, whose
# subject has several RDNs and values Windows writes in quotes: the package
# step takes the subject for the Publisher as Windows writes it, signs,
# verifies, and the package checks out (check_msix.py); one changed byte
# breaks the signature; a Publisher that is not the subject, and manifests
# the schemas refuse, stop the step with a one-line reason and no package.
#
#   msix_signature_test.sh <work dir> <version> <class ID> <rendered manifest>
#                          <build_msix.py and its fixed arguments>
set -uo pipefail
# Only what each step below sets.
unset KESTRUN_SIGN_CERT KESTRUN_SIGN_KEY KESTRUN_SIGN_CA KESTRUN_MSIX_PUBLISHER
work=$1 version=$2 class_id=$3 manifest=$4; shift 4
here=$(cd "$(dirname "$0")" && pwd)
source "$here/package_test_common.sh"
verifies() { osslsigncode verify -CAfile "$work/ca.pem" -in "$1" >"$work/verify.log" 2>&1; }
fails_to_verify() { ! verifies "$1"; }
signed() {
  KESTRUN_SIGN_CERT="$work/signer.pem" KESTRUN_SIGN_KEY="$work/signer.key" KESTRUN_SIGN_CA="$work/ca.pem" "$@"
}
# refused <what> <reason it must give> <package> <command...>: where a package
# made earlier stood, none is left.
refused() {
  local what=$1 reason=$2 package=$3; shift 3
  cp "$work/Kestrun.msix" "$package"
  "$@" --version "$version" --out "$package" 2>"$work/refusal.log" >/dev/null
  check "$what is refused" test $? -ne 0 -a ! -e "$package"
  check "$what: one line, saying why" equal "$(wc -l <"$work/refusal.log")" 1
  check "$what: the reason" grep -qF -- "$reason" "$work/refusal.log"
}
differs() { ! cmp -s "$1" "$2"; }

rm -rf "$work" && mkdir -p "$work"
trap 'rm -rf "$work"' EXIT
check "made a throwaway code-signing certificate" \
  throwaway_signing_certificate "$work" '/C=US/O=Kestrun, Test Lab/CN=Kestrun "QA" signer'
# The subject as Windows writes it: most specific RDN first, a value holding a
# comma or a double quote in quotes, the double quote doubled.
subject='CN="Kestrun ""QA"" signer", O="Kestrun, Test Lab", C=US'

signed "$@" --version "$version" --work "$work/stage" --out "$work/Kestrun.msix" >/dev/null
check "the package step signed and verified the package" verifies "$work/Kestrun.msix"
check "the signed package checks out, its Publisher the signer's subject" \
  python3 "$here/check_msix.py" "$work/Kestrun.msix" --version "$version" --publisher "$subject" \
          --class-id "$class_id" --ca "$work/ca.pem"
KESTRUN_MSIX_PUBLISHER=$subject signed "$@" --version "$version" --out "$work/given.msix" >/dev/null
check "the subject given as the Publisher is taken" verifies "$work/given.msix"

# One byte of the manifest changed (the payload is stored: its text is there as it is).
cp "$work/Kestrun.msix" "$work/tampered.msix"
offset=$(grep -obUaF 'Quorvex Kestrun' "$work/tampered.msix" | head -n 1 | cut -d: -f1)
check "found the manifest's text in the package" test -n "$offset"
printf 'q' | dd of="$work/tampered.msix" bs=1 seek="$offset" conv=notrunc status=none
check "one changed byte breaks the signature" fails_to_verify "$work/tampered.msix"

refused "a Publisher that is not the certificate's subject" "is not the signing certificate's subject" \
  "$work/other.msix" signed env KESTRUN_MSIX_PUBLISHER="CN=Kestrun, O=Kestrun, C=US" "$@"

refused "a signature that does not verify against KESTRUN_SIGN_CA" "osslsigncode verify failed" \
  "$work/unverified.msix" signed env KESTRUN_SIGN_CA="$work/signer.pem" "$@"

# Manifests the schemas refuse: each one change of the rendered manifest.
while IFS='|' read -r what edit reason; do
  sed "$edit" "$manifest" > "$work/broken.xml"
  check "$what: the edit took" differs "$manifest" "$work/broken.xml"
  refused "$what" "$reason" "$work/broken.msix" "$@" --manifest "$work/broken.xml"
done <<'ROWS'
a threading model COM lacks|s/ThreadingModel="STA"/ThreadingModel="Apartment"/|'Apartment' is not one of Both, STA
a verb of a class not served|s/\(Verb [^>]*Clsid="\)[0-9A-F]\{8\}/\100000000/|is not one the package's COM server
no small logo|s/ Square44x44Logo="[^"]*"//|the required attribute Square44x44Logo is missing
ROWS

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ] && [ "$passed" -gt 0 ]
