#!/usr/bin/env bash
# Runs a Windows program in a Wine prefix of its own, for suites that write
# the registry (a shared prefix would race with suites running in parallel):
#   run-in-prefix.sh PREFIX [--register DLL] PROGRAM [ARGS...]
# With --register the DLL is registered for the machine first and removed
# again afterwards. The exit status is the program's.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
export PIXMEND_WINEPREFIX=$1
shift
run=$here/../../scripts/wine-run.sh
dll=
if [[ ${1:-} == --register ]]; then
    dll=$2
    shift 2
fi

# Create the prefix, then start its server detached from our output: a
# server started by the program itself would inherit ctest's pipes and keep
# the test open after the program ends.
"$run" cmd.exe /c exit >/dev/null 2>&1 </dev/null
wineserver=$(command -v wineserver64 || echo /usr/lib/wine/wineserver64)
WINEPREFIX=$PIXMEND_WINEPREFIX "$wineserver" -p5 >/dev/null 2>&1 </dev/null

if [[ -n $dll ]] && ! "$run" regsvr32.exe /s "$dll"; then
    echo "run-in-prefix.sh: regsvr32 $dll failed" >&2
    exit 1
fi
"$run" "$@"
status=$?
[[ -n $dll ]] && "$run" regsvr32.exe /s /u "$dll"
exit $status
