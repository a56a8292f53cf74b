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

# pixmend_add_test(<name> SOURCES ... [NP ...] [AX ...] [WIN ...] DEPS ... [LIBS ...])
# Builds <name>_np and <name>_ax and registers every test case of each.
function(pixmend_add_test name)
  cmake_parse_arguments(A "" "TIMEOUT" "SOURCES;WIN;NP;AX;DEPS;LIBS" ${ARGN})
  if(NOT A_TIMEOUT)
    set(A_TIMEOUT 120)
  endif()
  pixmend_add_executable(${name} SOURCES ${A_SOURCES} WIN ${A_WIN} NP ${A_NP} AX ${A_AX}
                         DEPS ${A_DEPS} LIBS ${A_LIBS} GTest::gtest GTest::gtest_main)
  foreach(fl IN LISTS PIXMEND_FLAVOURS)
    target_compile_definitions(${name}_${fl} PRIVATE
      PIXMEND_TEST_DATA="${PROJECT_SOURCE_DIR}/tests/data")
    # One ctest entry per executable keeps the Wine start-up cost to one per
    # suite; the runner's own output lists every case.
    pixmend_gtest_report(report ${name}_${fl})
    add_test(NAME ${name}_${fl} COMMAND ${name}_${fl} --gtest_brief=1 ${report})
    set_tests_properties(${name}_${fl} PROPERTIES TIMEOUT ${A_TIMEOUT} LABELS ${fl})
  endforeach()
endfunction()
