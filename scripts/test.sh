#!/usr/bin/env bash
# Second command of the quick start: the whole test suite.
#   1. native build of the portable core with AddressSanitizer/UBSan, ctest
#   2. win32 build (the shipped deliverables), compile only; built before
#      the win64 suites run, since one of them checks the shipped DLL
#   3. win64 build, every suite under wine64 (xvfb for windows), ctest
#   4. bench and fuzz builds, compile only, so they cannot rot; and
#      bench/report.py --list, which checks that every program, script and
#      benchmark the benchmark report calls is there (it times nothing)
# Ends with one line "N passed, N failed" totalling every test case (a build
# that fails counts as one failure).
#
#   scripts/test.sh           everything above
#   scripts/test.sh PRESET    that preset only (native and win64 run their
#                             suites, the others compile)
set -uo pipefail
cd "$(dirname "$0")/.."
root=$PWD
jobs=${PIXMEND_TEST_JOBS:-$(nproc)}
status=0

build_preset() {  # preset; records a failed build
  local preset=$1
  echo "== $preset"
  if ! cmake --preset "$preset" >/dev/null || ! cmake --build --preset "$preset"; then
    echo "BUILD FAILED: $preset"; echo "build:$preset" >> build/failed-builds; status=1; return 1
  fi
}

run_suite() {  # preset
  local preset=$1 dir=build/$1
  # Results of an earlier run must never be counted for this one: after a
  # failed build the summary then finds no results and says so.
  rm -rf "$dir/test-results" "$dir/ctest-junit.xml"
  build_preset "$preset" || return
  ctest --test-dir "$dir" --output-on-failure -j "$jobs" --output-junit ctest-junit.xml || status=1
}

case ${1:-all} in
  all) presets=(native win32 win64 bench fuzz) ;;
  native|win64|win32|bench|fuzz) presets=("$1") ;;
  *) echo "usage: $0 [native|win64|win32|bench|fuzz]" >&2; exit 2 ;;
esac

mkdir -p build
rm -f build/failed-builds
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export PIXMEND_WINEPREFIX="$root/build/win64/wineprefix"

check_bench_report() {  # the Wine sections only when this run built win64
  local sections=codecs,resize,zoom,ours-only
  [[ " ${presets[*]} " == *" win64 "* ]] && sections+=,editor,upload
  echo "== bench/report.py --list --sections $sections"
  if ! bench/report.py --list --sections "$sections"; then
    echo "build:bench report --list" >> build/failed-builds; status=1
  fi
}

suites=()
for preset in "${presets[@]}"; do
  case $preset in
    native|win64) run_suite "$preset"; suites+=("build/$preset") ;;
    bench) build_preset bench && check_bench_report ;;
    *) build_preset "$preset" ;;
  esac
done

python3 scripts/summarize-tests.py "${suites[@]}" || status=1
exit $status
