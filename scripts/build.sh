#!/usr/bin/env bash
# Configures and builds both builds: i686 (release deliverables) and x64 (the
# same sources, for running under 64-bit Wine).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
for preset in i686 x64; do
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
done
