#!/usr/bin/env bash
# Every benchmark: builds what they need, opens a Wine session of their own
# (virtual display, prefix, warm wineserver), runs each *_bench.exe of the x64
# build under 64-bit Wine, checks the footprint of the stripped i686
# deliverables and prints one table: figure, subject, baseline, ratio, goal,
# met or not. Exit status 1 when a benchmark failed or a goal is not met.
#
#   scripts/bench.sh [--record] [--rounds N]
#
# --record     also writes the table into docs/PERFORMANCE.md
# --rounds N   measured rounds per benchmark (default: each benchmark's own)
#
# KESTRUN_BENCH_X64_DIR and KESTRUN_BENCH_I686_DIR choose the build folders
# (default: the presets' build/x64 and build/i686; other folders are
# configured like them); KESTRUN_BENCH_DISPLAY the X display (default :95).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
command="scripts/bench.sh $*"
for variable in KESTRUN_BENCH_DISPLAY KESTRUN_BENCH_I686_DIR KESTRUN_BENCH_X64_DIR; do
  if [ -n "${!variable:-}" ]; then command="$variable=${!variable#$root/} $command"; fi
done

record=0
bench_args=()
while [ $# -gt 0 ]; do
  case "$1" in
    --record) record=1 ;;
    --rounds) bench_args+=(--rounds "$2"); shift ;;
    *) echo "usage: scripts/bench.sh [--record] [--rounds N]" >&2; exit 2 ;;
  esac
  shift
done

# Absolute: Wine takes its prefix, inside the x64 folder, only as such.
x64=$(realpath -m "${KESTRUN_BENCH_X64_DIR:-$root/build/x64}")
i686=$(realpath -m "${KESTRUN_BENCH_I686_DIR:-$root/build/i686}")

"$root/scripts/setup.sh"

# configure <folder> <preset>: the preset itself for its own folder, the
# same settings for any other.
configure() {
  [ -f "$1/CMakeCache.txt" ] && return
  if [ "$1" = "$root/build/$2" ]; then
    (cd "$root" && cmake --preset "$2")
  elif [ "$2" = x64 ]; then
    cmake -S "$root" -B "$1" -G Ninja --toolchain "$root/cmake/toolchains/mingw-x64.cmake" \
      -DCMAKE_BUILD_TYPE=MinSizeRel -DKESTRUN_BUILD_TESTS=ON
  else
    cmake -S "$root" -B "$1" -G Ninja --toolchain "$root/cmake/toolchains/mingw-i686.cmake" \
      -DCMAKE_BUILD_TYPE=MinSizeRel -DKESTRUN_BUILD_TESTS=OFF
  fi
}
build() {
  configure "$i686" i686 && configure "$x64" x64 &&
    cmake --build "$i686" && cmake --build "$x64" --target kestrun_benchmarks
}
source "$root/scripts/run-logged.sh"
run_logged "$x64/bench/build.log" "== Building ($i686, $x64)" build

export KESTRUN_WINEPREFIX="$x64/bench/prefix" KESTRUN_DISPLAY="${KESTRUN_BENCH_DISPLAY:-:95}"
session="$root/scripts/wine-session"
trap '"$session" stop' EXIT
"$session" start

figures="$x64/bench/figures.tsv"
: > "$figures"
status=0
for program in "$x64"/bin/*_bench.exe; do
  name=$(basename "$program")
  echo "== $name"
  set +e
  "$root/scripts/wine-run" "$program" "${bench_args[@]}" > "$x64/bench/$name.txt" 2>&1
  result=$?
  set -e
  tr -d '\r' < "$x64/bench/$name.txt" | grep -v '^FIGURE' | sed 's/^/   /'
  tr -d '\r' < "$x64/bench/$name.txt" | grep '^FIGURE' >> "$figures" || true
  if [ "$result" -ne 0 ]; then
    echo "   $name FAILED (exit status $result)" >&2
    status=1
  fi
done

echo
echo "== Table"
report_args=(--figures "$figures" --i686-bin "$i686/bin" --x64-bin "$x64/bin" --command "$command")
# Only a complete run replaces the recorded table.
if [ "$record" -eq 1 ] && [ "$status" -eq 0 ]; then report_args+=(--record "$root/docs/PERFORMANCE.md"); fi
python3 "$root/tests/bench/bench_report.py" "${report_args[@]}" | tee "$x64/bench/report.md" \
  || status=1
exit $status
