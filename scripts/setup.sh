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
echo "Outputs (component libraries and tools; build/win32 is the shipped 32-bit build):"
find build/win32 build/win64 -maxdepth 4 \( -name '*.dll' -o -name '*.exe' -o -name '*.a' \) \
     -not -name '*.dll.a' -not -path '*/tests/*' -not -path '*/CMakeFiles/*' \
     -not -path '*/wineprefix/*' | sort | sed 's/^/  /'

echo
[[ -n ${PIXMEND_NO_DEMO:-} ]] || bash scripts/demo.sh
