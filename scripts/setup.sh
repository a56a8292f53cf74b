#!/usr/bin/env bash
# First command of the quick start: installs every package, cross-builds the
# Windows dependencies into the cache (seconds when already there), then runs
# the main job: builds the shipped 32-bit deliverables and the 64-bit build,
# and tries the editor.
set -euo pipefail
cd "$(dirname "$0")/.."

start=$SECONDS
step() {  # number, text: one banner per stage, with the time so far
    printf '\n== [%s/4] %s  (%dm%02ds so far)\n' "$1" "$2" \
        $(((SECONDS - start) / 60)) $(((SECONDS - start) % 60))
}

step 1 "Debian packages and the Windows libraries (first run: about 5 minutes)"
bash scripts/setup-deps.sh

# Ninja prints [done/total] on every line of the two builds.
presets=(win32 win64)
for i in 0 1; do
    step $((i + 2)) "building ${presets[i]} (first run: several minutes each)"
    cmake --preset "${presets[i]}" >/dev/null
    cmake --build --preset "${presets[i]}"
done

echo
echo "Outputs (component libraries and tools; build/win32 is the shipped 32-bit build):"
find build/win32 build/win64 -maxdepth 4 \( -name '*.dll' -o -name '*.exe' -o -name '*.a' \) \
     -not -name '*.dll.a' -not -path '*/tests/*' -not -path '*/CMakeFiles/*' \
     -not -path '*/wineprefix/*' | sort | sed 's/^/  /'

if [[ -z ${PIXMEND_NO_DEMO:-} ]]; then
    step 4 "the editor: pxdemo uploading to a local receiver"
    bash scripts/demo.sh
fi
printf '\nsetup finished in %dm%02ds\n' $(((SECONDS - start) / 60)) $(((SECONDS - start) % 60))
