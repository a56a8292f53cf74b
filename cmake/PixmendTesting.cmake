# Test suites are GoogleTest executables registered with ctest. Windows builds
# run them through CMAKE_CROSSCOMPILING_EMULATOR (wine64, see scripts/wine-run.sh).
find_package(GTest REQUIRED)
include(GoogleTest)

# Every GoogleTest run writes an XML report to <build>/test-results/<test>.xml,
# which scripts/summarize-tests.py totals. Under Wine a drive-less absolute
# path is not found, so Windows builds name the path through Wine's Z: drive
# (the whole Unix file system).
if(WIN32)
  set(PIXMEND_TEST_RESULTS "Z:${CMAKE_BINARY_DIR}/test-results")
else()
  set(PIXMEND_TEST_RESULTS "${CMAKE_BINARY_DIR}/test-results")
endif()
file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/test-results)

# Sets <var> to the GoogleTest argument that writes the report of <test>.
function(pixmend_gtest_report var test)
  set(${var} "--gtest_output=xml:${PIXMEND_TEST_RESULTS}/${test}.xml" PARENT_SCOPE)
endfunction()

# pixmend_add_test(<name> <slots...> [TIMEOUT seconds] [SERVER script.py])
# Builds <name>_<fl> from the flavour slots of pixmend_add_executable (so a
# Windows-only suite lists its files under WIN / NP_WIN / AX_WIN) and
# registers each program as one ctest entry labelled with its flavour.
#
# SERVER makes it an end-to-end suite: it runs inside
# `python3 <script.py> run --`, which starts local servers and hands their
# ports to the suite in the environment. Such a suite skips its cases when the
# ports are missing (run by hand); under ctest that means the wrapper broke,
# so these entries carry the label "e2e" and scripts/summarize-tests.py counts
# a skipped case of theirs as a failure. Their time-out defaults to 300 s.
function(pixmend_add_test name)
  cmake_parse_arguments(A "" "TIMEOUT;SERVER" "${PIXMEND_SLOT_ARGS}" ${ARGN})
  _pixmend_test_executable(${name} fls)
  if(A_SERVER AND fls)
    find_package(Python3 REQUIRED COMPONENTS Interpreter)
    get_filename_component(server ${A_SERVER} ABSOLUTE)
  endif()
  if(NOT A_TIMEOUT)
    set(A_TIMEOUT 120)
    if(A_SERVER)
      set(A_TIMEOUT 300)
    endif()
  endif()
  foreach(fl IN LISTS fls)
    # One ctest entry per executable keeps the Wine start-up cost to one per
    # suite; the runner's own output lists every case.
    pixmend_gtest_report(report ${name}_${fl})
    set(labels ${fl})
    if(A_SERVER)
      # ctest adds the emulator only to a bare target name: name it here.
      set(command ${Python3_EXECUTABLE} ${server} run -- ${CMAKE_CROSSCOMPILING_EMULATOR}
                  $<TARGET_FILE:${name}_${fl}>)
      list(APPEND labels e2e)
    else()
      set(command ${name}_${fl})
    endif()
    add_test(NAME ${name}_${fl} COMMAND ${command} --gtest_brief=1 ${report})
    set_tests_properties(${name}_${fl} PROPERTIES TIMEOUT ${A_TIMEOUT} LABELS "${labels}")
  endforeach()
endfunction()

# pixmend_add_test_run(<suite> <suffix> [ON WIN|POSIX] [ARGS ...]
#                      [ENVIRONMENT var=value ...] [TIMEOUT seconds])
# Runs the programs of a suite declared by pixmend_add_test once more, as
# <suite>_<fl>_<suffix>, with extra GoogleTest arguments (a filter, say) and
# environment, writing a report of its own. ON limits the run to one kind of
# build (Wine's code page follows LANG, for example, so code-page runs are
# ON WIN). Flavours whose program does not exist here get no run.
function(pixmend_add_test_run suite suffix)
  cmake_parse_arguments(A "" "ON;TIMEOUT" "ARGS;ENVIRONMENT" ${ARGN})
  if(A_ON AND NOT A_ON STREQUAL PIXMEND_PLATFORM)
    return()
  endif()
  if(NOT A_TIMEOUT)
    set(A_TIMEOUT 120)
  endif()
  foreach(fl IN LISTS PIXMEND_FLAVOURS)
    if(NOT TARGET ${suite}_${fl})
      continue()
    endif()
    set(name ${suite}_${fl}_${suffix})
    pixmend_gtest_report(report ${name})
    add_test(NAME ${name} COMMAND ${suite}_${fl} --gtest_brief=1 ${A_ARGS} ${report})
    set_tests_properties(${name} PROPERTIES TIMEOUT ${A_TIMEOUT} LABELS ${fl}
                         ENVIRONMENT "${A_ENVIRONMENT}")
  endforeach()
endfunction()

# The same, for call sites that name the end-to-end kind: SERVER is required.
function(pixmend_add_server_test name)
  cmake_parse_arguments(A "" "SERVER" "" ${ARGN})
  if(NOT A_SERVER)
    message(FATAL_ERROR "pixmend_add_server_test(${name}): SERVER script.py is required")
  endif()
  pixmend_add_test(${name} ${ARGN})
endfunction()

# Builds the GoogleTest program of a suite from the A_* slots of the caller;
# sets <out> to the flavours whose program exists on this platform.
macro(_pixmend_test_executable name out)
  list(APPEND A_LIBS GTest::gtest GTest::gtest_main)
  set(_slots "")
  foreach(slot IN LISTS PIXMEND_SLOT_ARGS)
    if(DEFINED A_${slot})
      list(APPEND _slots ${slot} ${A_${slot}})
    endif()
  endforeach()
  pixmend_add_executable(${name} ${_slots})
  _pixmend_flavours(_fls ${A_FLAVOURS})
  set(${out} "")
  foreach(fl IN LISTS _fls)
    if(TARGET ${name}_${fl})
      list(APPEND ${out} ${fl})
      target_compile_definitions(${name}_${fl} PRIVATE
        PIXMEND_TEST_DATA="${PROJECT_SOURCE_DIR}/tests/data")
    endif()
  endforeach()
endmacro()
