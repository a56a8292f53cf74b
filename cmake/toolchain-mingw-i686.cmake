# Cross-compiles for 32-bit Windows with Debian's MinGW-w64 compilers: the
# shipped deliverables. No emulator: this machine cannot run 32-bit code.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(PIXMEND_TARGET_TRIPLE i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw-common.cmake)

# SSE2 arithmetic: the zoom and scaling loops vectorise, and float results
# (zoom steps are single precision) match the x86_64 build the tests run,
# instead of depending on x87 excess precision. Every Windows version still
# supported needs an SSE2 processor anyway.
set(CMAKE_C_FLAGS_INIT "-msse2 -mfpmath=sse")
set(CMAKE_CXX_FLAGS_INIT "-msse2 -mfpmath=sse")
