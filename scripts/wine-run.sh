#!/usr/bin/env bash
# Runs a 64-bit Windows program under wine64 and returns its exit status.
# CMake uses it as CMAKE_CROSSCOMPILING_EMULATOR for the win64 build, so ctest
# runs every test program through it:
#   scripts/wine-run.sh program.exe [args...]
#
# The Wine prefix is private to the build: $PIXMEND_WINEPREFIX when set (the
# test script points it into the build tree), else .wineprefix in the current
# directory. It is created on first use, under a lock so that parallel test
# runs wait for one creation instead of racing. When no X display is set the
# program runs under a private Xvfb, since programs under test may open
# windows.
set -uo pipefail

prefix=${PIXMEND_WINEPREFIX:-$PWD/.wineprefix}
case $prefix in
    /*) ;;
    *) prefix=$PWD/$prefix ;;
esac

find_tool() {  # name: on PATH, else where Debian's wine64 package puts it
    if command -v "$1" >/dev/null 2>&1; then
        command -v "$1"
    elif [[ -x /usr/lib/wine/$1 ]]; then
        printf '%s\n' "/usr/lib/wine/$1"
    else
        echo "wine-run.sh: $1 not found; run scripts/setup-deps.sh" >&2
        exit 127
    fi
}
wine64=$(find_tool wine64)
wineserver=$(find_tool wineserver64)

export WINEPREFIX=$prefix
export WINEARCH=win64
export WINELOADER=$wine64
export WINEDEBUG=-all
# Mono and Gecko are not needed, and without this Wine asks to download them.
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}

# Creates the prefix if no complete one exists. The marker file is written
# only after wineboot and its server finished, so an interrupted creation is
# redone rather than used half-made.
ensure_prefix() {
    local ready=$prefix/.pixmend-ready
    [[ -f $ready ]] && return 0
    mkdir -p "$(dirname "$prefix")" || return 1
    (
        flock 9 || exit 1
        [[ -f $ready ]] && exit 0
        rm -rf "$prefix"
        "$wine64" wineboot -i >/dev/null 2>&1
        "$wineserver" -w
        [[ -f $prefix/system.reg ]] || { echo "wine-run.sh: wineboot did not create $prefix" >&2; exit 1; }
        touch "$ready"
    ) 9>"$prefix.lock"
}

# wine64 without the 32-bit Wine packages "runs" a 32-bit program by failing
# silently with exit status 0, which would pass any test. Refuse those.
pe_machine() {  # prints the COFF machine field of a PE file, e.g. 8664
    local offset sig
    offset=$(od -An -tu4 -j60 -N4 "$1" 2>/dev/null | tr -d ' ') || return 1
    [[ -n $offset ]] || return 1
    sig=$(od -An -tx1 -j"$offset" -N6 "$1" 2>/dev/null | tr -d ' \n') || return 1
    [[ ${sig:0:8} == 50450000 ]] || return 1
    printf '%s%s\n' "${sig:10:2}" "${sig:8:2}"
}
if [[ $# -gt 0 && -f $1 ]]; then
    machine=$(pe_machine "$1") || machine=
    if [[ -n $machine && $machine != 8664 ]]; then
        echo "wine-run.sh: $1 is not a 64-bit Windows program (machine $machine); only wine64 is installed" >&2
        exit 126
    fi
fi

if ! ensure_prefix; then
    echo "wine-run.sh: could not create the Wine prefix $prefix" >&2
    exit 125
fi

if [[ -n ${DISPLAY:-} ]]; then
    exec "$wine64" "$@"
fi
exec xvfb-run -a "$wine64" "$@"
