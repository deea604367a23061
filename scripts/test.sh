#!/usr/bin/env bash
# Every test: installs what is missing, builds both builds, checks the i686
# release binaries statically and runs the x64 tests under 64-bit Wine (ctest
# opens and closes the Wine session: virtual display, prefix, wineserver).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh"
"$root/scripts/build.sh"
cd "$root"
status=0
ctest --preset i686 || status=1
ctest --preset x64 || status=1
exit $status
