# Cross-compiles for 64-bit Windows with Debian's MinGW-w64 compilers: the
# build whose tests run, under wine64.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(PIXMEND_TARGET_TRIPLE x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw-common.cmake)

# Test programs run under wine64; see the wrapper for the prefix it uses.
set(CMAKE_CROSSCOMPILING_EMULATOR "${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run.sh")
