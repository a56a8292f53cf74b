# One code base, two deliverables. A component library is declared once and
# compiled twice:
#   <name>_np  with PIXMEND_FLAVOUR_NP (npPixmend: 8-bit text, all formats)
#   <name>_ax  with PIXMEND_FLAVOUR_AX (Pixmend: UTF-16 text, no GIF/TIFF)
#
# pixmend_add_library(<name>
#     SOURCES   files of both flavours, every platform
#     WIN       files of both flavours, Windows builds only
#     NP        files of npPixmend only
#     NP_WIN    files of npPixmend only, Windows builds only
#     AX        files of Pixmend only
#     AX_WIN    files of Pixmend only, Windows builds only
#     DEPS      component libraries (base names, flavour added here)
#     LIBS      other libraries, both flavours
#     NP_LIBS / AX_LIBS / WIN_LIBS  flavour- or platform-only libraries)
set(PIXMEND_FLAVOURS np ax)

function(pixmend_add_library name)
  cmake_parse_arguments(A "" "" "SOURCES;WIN;NP;NP_WIN;AX;AX_WIN;DEPS;LIBS;NP_LIBS;AX_LIBS;WIN_LIBS" ${ARGN})
  foreach(fl IN LISTS PIXMEND_FLAVOURS)
    string(TOUPPER ${fl} FL)
    set(srcs ${A_SOURCES} ${A_${FL}})
    set(libs ${A_LIBS} ${A_${FL}_LIBS})
    if(WIN32)
      list(APPEND srcs ${A_WIN} ${A_${FL}_WIN})
      list(APPEND libs ${A_WIN_LIBS})
    endif()
    foreach(dep IN LISTS A_DEPS)
      list(APPEND libs ${dep}_${fl})
    endforeach()
    add_library(${name}_${fl} STATIC ${srcs})
    target_include_directories(${name}_${fl} PUBLIC ${PROJECT_SOURCE_DIR})
    target_compile_definitions(${name}_${fl} PUBLIC PIXMEND_FLAVOUR_${FL}=1)
    target_link_libraries(${name}_${fl} PUBLIC ${libs})
  endforeach()
endfunction()

# Same idea for executables (tools, tests): <name>_np and <name>_ax.
function(pixmend_add_executable name)
  cmake_parse_arguments(A "" "" "SOURCES;WIN;NP;AX;DEPS;LIBS" ${ARGN})
  foreach(fl IN LISTS PIXMEND_FLAVOURS)
    string(TOUPPER ${fl} FL)
    set(srcs ${A_SOURCES} ${A_${FL}})
    if(WIN32)
      list(APPEND srcs ${A_WIN})
    endif()
    set(libs ${A_LIBS})
    foreach(dep IN LISTS A_DEPS)
      list(APPEND libs ${dep}_${fl})
    endforeach()
    add_executable(${name}_${fl} ${srcs})
    target_link_libraries(${name}_${fl} PRIVATE ${libs})
  endforeach()
endfunction()
