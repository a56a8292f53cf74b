# Sourced by the scripts that run pxdemo under Wine, from the repository root
# with the flavour (np or ax, default np) as $1. Builds pxdemo for it in the
# win64 tree and sets:
#   flavour, build        the flavour and the build tree (build/win64)
#   demo                  the pxdemo program of the flavour
#   work                  build/win64/pxdemo (absolute), created
#   PIXMEND_WINEPREFIX    exported, the tree's prefix unless already set
#   winpath PATH          prints PATH as Wine sees it (Z: maps to /)
flavour=${1:-np}
build=build/win64
[[ -f $build/build.ninja ]] || cmake --preset win64 >/dev/null
cmake --build "$build" --target "pxdemo_$flavour" >/dev/null
export PIXMEND_WINEPREFIX=${PIXMEND_WINEPREFIX:-$PWD/$build/wineprefix}
demo=$build/tools/pxdemo_$flavour.exe
work=$PWD/$build/pxdemo
mkdir -p "$work"
winpath() { local p="Z:$1"; printf '%s' "${p//\//\\}"; }
