#!/usr/bin/env bash
# Second command of the quick start: the whole test suite.
#   1. native build of the portable core with AddressSanitizer/UBSan, ctest
#   2. win64 build, every suite under wine64 (xvfb for windows), ctest
#   3. win32 build (the shipped deliverables), compile only
# Ends with one line "N passed, N failed" totalling every test case.
set -uo pipefail
cd "$(dirname "$0")/.."
root=$PWD
jobs=$(nproc)
status=0

run_suite() {  # preset
  local preset=$1 dir=build/$1
  rm -rf "$dir/test-results"
  if ! cmake --preset "$preset" >/dev/null || ! cmake --build --preset "$preset"; then
    echo "BUILD FAILED: $preset"; echo "build:$preset" >> build/failed-builds; status=1; return
  fi
  ctest --test-dir "$dir" --output-on-failure -j "$jobs" --output-junit ctest-junit.xml || status=1
}

mkdir -p build
rm -f build/failed-builds
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export PIXMEND_WINEPREFIX="$root/build/win64/wineprefix"

run_suite native
run_suite win64

echo "== win32 (compile only)"
if ! cmake --preset win32 >/dev/null || ! cmake --build --preset win32; then
  echo "BUILD FAILED: win32"; echo "build:win32" >> build/failed-builds; status=1
fi

python3 scripts/summarize-tests.py build/native build/win64 || status=1
exit $status
