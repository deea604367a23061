#!/usr/bin/env bash
# The reliability run: builds the x64 test build, opens a Wine session of its
# own, runs every test program at its full size (KESTRUN_FULL=1: 100,000 menu
# cycles, 1,000 invoke-and-unload cycles, 10 million racing operations, 2,000
# runs of each fault point, ...), then the fuzzers' longer pass, and prints
# the figures for docs/RELIABILITY.md. Exit status 1 when a test failed or
# crashed, a leak check was over its tolerance or a fuzzer failed.
#
#   scripts/reliability.sh [--record] [--fuzz-seconds N]
#
# --record           also writes the figures into docs/RELIABILITY.md
# --fuzz-seconds N   seconds per fuzz target (default 120)
#
# KESTRUN_RELIABILITY_X64_DIR chooses the build folder (default build/x64;
# another folder is configured like it), KESTRUN_RELIABILITY_DISPLAY the X
# display (default :94).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
command="scripts/reliability.sh $*"
for variable in KESTRUN_RELIABILITY_DISPLAY KESTRUN_RELIABILITY_X64_DIR; do
  if [ -n "${!variable:-}" ]; then command="$variable=${!variable#$root/} $command"; fi
done

record=0
fuzz_seconds=120
while [ $# -gt 0 ]; do
  case "$1" in
    --record) record=1 ;;
    --fuzz-seconds) fuzz_seconds="$2"; shift ;;
    *) echo "usage: scripts/reliability.sh [--record] [--fuzz-seconds N]" >&2; exit 2 ;;
  esac
  shift
done

x64=$(realpath -m "${KESTRUN_RELIABILITY_X64_DIR:-$root/build/x64}")
"$root/scripts/setup.sh"
if [ ! -f "$x64/CMakeCache.txt" ]; then
  if [ "$x64" = "$root/build/x64" ]; then
    (cd "$root" && cmake --preset x64 >/dev/null)
  else
    cmake -S "$root" -B "$x64" -G Ninja --toolchain "$root/cmake/toolchains/mingw-x64.cmake" \
      -DCMAKE_BUILD_TYPE=MinSizeRel -DKESTRUN_BUILD_TESTS=ON >/dev/null
  fi
fi
results="$x64/reliability"
rm -rf "$results/out"
mkdir -p "$results/out"
echo "== Building $x64"
if ! cmake --build "$x64" > "$results/out/build.log" 2>&1; then
  tail -n 30 "$results/out/build.log" >&2
  exit 1
fi
export KESTRUN_WINEPREFIX="$results/prefix" KESTRUN_DISPLAY="${KESTRUN_RELIABILITY_DISPLAY:-:94}"
session="$root/scripts/wine-session"
trap '"$session" stop' EXIT
"$session" start

# Every test program, one after the other (tests share the prefix's registry).
: > "$results/out/exit_codes.tsv"
for program in "$x64"/bin/*_tests.exe; do
  name=$(basename "$program")
  echo "== $name (full size)"
  set +e
  KESTRUN_FULL=1 "$root/scripts/wine-run" "$program" > "$results/out/$name.txt" 2>&1
  result=$?
  set -e
  printf '%s\t%s\n' "$name" "$result" >> "$results/out/exit_codes.tsv"
  tr -d '\r' < "$results/out/$name.txt" | grep -E '^\[  (PASSED|FAILED) ' | sed 's/^/   /' || true
done

echo "== Fuzzing ($fuzz_seconds s per target)"
# Its exit status goes to the report, which fails the run on anything but 0
# or on a pass that gave no result.
set +e
"$root/scripts/fuzz.sh" "$fuzz_seconds" 2>&1 | tee "$results/out/fuzz.txt"
echo "${PIPESTATUS[0]}" > "$results/out/fuzz_status"
set -e

echo
echo "== Figures"
report_args=(--results "$results/out" --command "$command")
if [ "$record" -eq 1 ]; then report_args+=(--record "$root/docs/RELIABILITY.md"); fi
python3 "$root/tests/robustness/reliability_report.py" "${report_args[@]}" | tee "$results/report.md"
