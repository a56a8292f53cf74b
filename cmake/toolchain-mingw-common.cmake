# Shared part of the MinGW-w64 toolchain files; the including file sets
# PIXMEND_TARGET_TRIPLE and CMAKE_SYSTEM_PROCESSOR first.
#
# The posix-thread variants are used because their libstdc++ has std::thread
# and std::mutex. The runtime (libgcc, libstdc++, winpthread) is linked
# statically so the built DLLs and test programs need no MinGW DLLs beside
# them.
#
# Libraries are looked up in the dependency cache that scripts/setup-deps.sh
# fills ($PIXMEND_CACHE, default /var/cache/pixmend, then deps/<triple>)
# before the MinGW sysroot. The cache comes first because it holds only static
# archives, while the sysroot also has import libraries (libz.dll.a) that
# would tie the result to a DLL.

set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_C_COMPILER ${PIXMEND_TARGET_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${PIXMEND_TARGET_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${PIXMEND_TARGET_TRIPLE}-windres)

if(NOT PIXMEND_DEPS_PREFIX)
  if(DEFINED ENV{PIXMEND_CACHE} AND NOT "$ENV{PIXMEND_CACHE}" STREQUAL "")
    set(PIXMEND_DEPS_PREFIX "$ENV{PIXMEND_CACHE}/deps/${PIXMEND_TARGET_TRIPLE}")
  else()
    set(PIXMEND_DEPS_PREFIX "/var/cache/pixmend/deps/${PIXMEND_TARGET_TRIPLE}")
  endif()
endif()
# try_compile() projects read this file again; hand them the same prefix.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES PIXMEND_DEPS_PREFIX)

set(CMAKE_FIND_ROOT_PATH "${PIXMEND_DEPS_PREFIX}" /usr/${PIXMEND_TARGET_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
