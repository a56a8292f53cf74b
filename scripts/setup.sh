#!/usr/bin/env bash
# First command of the quick start: installs every package, cross-builds the
# Windows dependencies into the cache (seconds when already there), then runs
# the main job: builds the shipped 32-bit deliverables and the 64-bit build.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup-deps.sh

for preset in win32 win64; do
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
done

echo
echo "Outputs:"
find build/win32 build/win64 -maxdepth 3 \( -name '*.dll' -o -name '*.exe' -o -name '*.a' \) \
     -not -path '*/CMakeFiles/*' -not -path '*/wineprefix/*' | sort | sed 's/^/  /'
