#!/usr/bin/env bash
# Builds the fuzz targets of the pure text logic natively (clang, libFuzzer,
# address and undefined-behaviour sanitizers), replays each target's seed
# corpus as regression inputs, then fuzzes each target for the given number
# of seconds (default 15: the short pass of scripts/test.sh).
#
#   scripts/fuzz.sh [seconds-per-target]
#
# KESTRUN_FUZZ_BUILD chooses the build folder (default build/fuzz-native).
# Inputs the fuzzer finds go to <build>/corpus/<target>, crashes to
# <build>/artifacts/<target>/; the checked-in seeds are only read.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-15}
case "$seconds" in ''|*[!0-9]*) echo "usage: fuzz.sh [seconds-per-target]" >&2; exit 2 ;; esac
build=${KESTRUN_FUZZ_BUILD:-$root/build/fuzz-native}
"$root/scripts/setup.sh"
src="$root/tests/fuzz"
targets=(copy_path boot_image_name tool_directory command_line hand_off console_arguments console_output)

# The build's output is kept and shown when it fails: a fuzz pass that did
# not build must say why.
mkdir -p "$build"
echo "fuzz.sh: building the fuzz targets (log: $build/build.log)"
if ! { cmake -S "$src" -B "$build" -G Ninja -DCMAKE_CXX_COMPILER=clang++-14 && cmake --build "$build"; } > "$build/build.log" 2>&1; then
  tail -n 30 "$build/build.log"
  echo "fuzz.sh: FAILED building the fuzz targets (see $build/build.log)"
  exit 1
fi

status=0
for target in "${targets[@]}"; do
  fuzzer="$build/${target}_fuzz"
  seeds="$src/corpus/$target"
  found="$build/corpus/$target"
  artifacts="$build/artifacts/$target/"
  log="$build/logs/$target.log"
  mkdir -p "$found" "$artifacts" "$(dirname "$log")"

  # The seeds as plain regression inputs, each run once.
  if ! "$fuzzer" -artifact_prefix="$artifacts" "$seeds"/* >"$log.replay" 2>&1; then
    echo "$target: FAILED replaying the seed corpus (see $log.replay)"
    grep -E 'property violated|ERROR|runtime error' "$log.replay" | head -5 || true
    status=1
    continue
  fi
  replayed=$(find "$seeds" -type f | wc -l)

  # New inputs land in the build's corpus (the first folder); the seeds are
  # read only.
  if "$fuzzer" -max_total_time="$seconds" -max_len=4096 -print_final_stats=1 \
       -dict="$src/paths.dict" -artifact_prefix="$artifacts" "$found" "$seeds" >"$log" 2>&1; then
    executions=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
    echo "$target: $replayed seeds replayed, ${executions:-?} executions in ${seconds} s, no failure"
  else
    echo "$target: FAILED while fuzzing (see $log; inputs in $artifacts)"
    grep -E 'property violated|ERROR|runtime error' "$log" | head -5 || true
    status=1
  fi
done
exit $status
