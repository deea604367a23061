#!/usr/bin/env bash
# Every test: installs what is missing, builds both builds, checks the i686
# release binaries statically and runs the x64 tests under 64-bit Wine (ctest
# opens and closes the Wine session: virtual display, prefix, wineserver),
# then fuzzes the pure text logic natively for a short while.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh"
"$root/scripts/build.sh"
cd "$root"
status=0
ctest --preset i686 || status=1
ctest --preset x64 || status=1
# Short fuzz pass of the pure text logic, after replaying its seed corpus.
"$root/scripts/fuzz.sh" 15 || status=1
exit $status
