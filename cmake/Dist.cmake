# The distribution archive: `cmake --build --preset win32 --target dist` (not
# part of `all`) writes build/dist/pixmend-<version>.zip with
# scripts/make-dist.py. Either Windows tree has the target: it builds its own
# DLLs and takes the other architecture's from the other preset's tree, which
# must be built first (scripts/dist.sh does both in order).
if(NOT WIN32)
  return()
endif()
find_package(Python3 REQUIRED COMPONENTS Interpreter)
set(PIXMEND_DIST_DIR ${PROJECT_SOURCE_DIR}/build/dist CACHE PATH
    "Where the dist target writes the archive")
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(PIXMEND_WIN32_BUILD_DIR ${PROJECT_SOURCE_DIR}/build/win32 CACHE PATH
      "Build tree of the win32 preset, whose DLLs the PE test checks and the dist target ships")
  set(trees ${PIXMEND_WIN32_BUILD_DIR} ${CMAKE_BINARY_DIR})
else()
  set(PIXMEND_WIN64_BUILD_DIR ${PROJECT_SOURCE_DIR}/build/win64 CACHE PATH
      "Build tree of the win64 preset, whose DLLs the dist target ships")
  set(trees ${CMAKE_BINARY_DIR} ${PIXMEND_WIN64_BUILD_DIR})
endif()
# The licence texts come from the dependency cache the toolchain file named
# (<cache>/deps/<triple>).
get_filename_component(cache ${PIXMEND_DEPS_PREFIX} DIRECTORY)
get_filename_component(cache ${cache} DIRECTORY)
set(dist_command ${Python3_EXECUTABLE} ${PROJECT_SOURCE_DIR}/scripts/make-dist.py
    --out ${PIXMEND_DIST_DIR} --cache ${cache} ${trees})
add_custom_target(dist COMMAND ${dist_command} VERBATIM)
add_dependencies(dist npPixmend Pixmend)

# The test suite assembles the archive (from the win64 tree, after
# scripts/test.sh has built the win32 one) and holds it to README.md.
if(PIXMEND_TESTS)
  find_program(PIXMEND_OBJDUMP32 i686-w64-mingw32-objdump REQUIRED)
  find_program(PIXMEND_OBJDUMP64 x86_64-w64-mingw32-objdump REQUIRED)
  add_test(NAME dist_assemble COMMAND ${dist_command})
  add_test(NAME dist_check
    COMMAND ${Python3_EXECUTABLE} ${PROJECT_SOURCE_DIR}/tests/dist/check_dist.py
            ${PROJECT_SOURCE_DIR}/README.md ${PIXMEND_DIST_DIR}
            ${PIXMEND_OBJDUMP32} ${PIXMEND_OBJDUMP64})
  set_tests_properties(dist_assemble PROPERTIES FIXTURES_SETUP dist TIMEOUT 120)
  set_tests_properties(dist_check PROPERTIES FIXTURES_REQUIRED dist TIMEOUT 120)
endif()
