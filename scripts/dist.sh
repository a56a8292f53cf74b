#!/usr/bin/env bash
# Builds the distribution archive, build/dist/pixmend-<version>.zip: the
# 64-bit DLLs first, then the win32 preset's dist target, which builds the
# shipped 32-bit DLLs and packs both (README.md, "The distribution archive").
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --preset win64 >/dev/null
cmake --build --preset win64 --target npPixmend Pixmend
cmake --preset win32 >/dev/null
cmake --build --preset win32 --target dist
