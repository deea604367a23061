#!/usr/bin/env bash
# Every test: installs what is missing, builds both builds, checks the i686
# release binaries statically and runs the x64 tests under 64-bit Wine (ctest
# opens and closes the Wine session: virtual display, prefix, wineserver),
# and last runs the i686 deliverables for real in the emulated machine
# (scripts/vm/test-i686) while the pure text logic is fuzzed natively for a
# short while.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh"
cd "$root"
# The emulated machine takes minutes to make on a fresh machine: it is made
# in the background, at the lowest priority, while the native part runs.
mkdir -p build
echo "test.sh: preparing the emulated machine in the background (log: build/vm-prepare.log)"
# At the lowest priority its guest may boot slowly while the builds run
# (155 s measured against the usual 15 s): its boot is given 15 minutes.
KESTRUN_VM_BOOT_TIMEOUT=900 nice -n 19 "$root/scripts/vm/run" --prepare > build/vm-prepare.log 2>&1 &
prepare=$!
trap 'kill $prepare 2>/dev/null || true' EXIT
"$root/scripts/build.sh"
cmake --preset i686-test >/dev/null
cmake --build --preset i686-test
status=0
ctest --preset i686 || status=1
# A test that fails is run once more; both attempts stay in the log, and the
# ones that passed only the second time are named at the end. Under load, a
# Wine program has been seen (once in several runs) to end at once without
# printing anything, before any test code ran.
ctest --preset x64 --repeat until-pass:2 2>&1 | tee build/x64-ctest.log || status=1
failed_once=$(sed -n 's/^ *[0-9]*\/[0-9]* Test *#[0-9]*: \([^ ]*\) .*\*\*\*.*/\1/p' build/x64-ctest.log | sort -u)
failed_twice=$(sed -n 's/^\t *[0-9]* - \([^ ]*\) (.*/\1/p' build/x64-ctest.log | sort -u)
retried=$(comm -23 <(echo "$failed_once") <(echo "$failed_twice"))
# Short fuzz pass of the pure text logic, after replaying its seed corpus.
# It runs beside the i686 stage, whose tests run one at a time in the
# emulated machine and leave a core to spare; its report follows the stage's.
echo "test.sh: fuzzing the text logic beside the i686 stage (log: build/fuzz.log)"
"$root/scripts/fuzz.sh" 15 > build/fuzz.log 2>&1 &
fuzz=$!
# The stage waits for the preparation anyway; done, its process id must not
# be killed at exit, where it may name another process by then.
wait $prepare || true
trap - EXIT
"$root/scripts/vm/test-i686" || status=1
wait $fuzz || status=1
cat build/fuzz.log
if [ -n "$retried" ]; then
  echo "test.sh: failed once and passed when run again (x64, see build/x64-ctest.log):"
  printf '  %s\n' $retried
fi
exit $status
