# One code base, two deliverables. A component is declared once and compiled
# once per flavour it exists in:
#   <name>_np  with PIXMEND_FLAVOUR_NP (npPixmend: 8-bit text, all formats)
#   <name>_ax  with PIXMEND_FLAVOUR_AX (Pixmend: UTF-16 text, no GIF/TIFF)
#
# Source and library slots, shared by every function below. A slot name is
# "<flavour>_<platform>" with either part optional; a file goes in the
# narrowest slot that describes it, so no CMakeLists needs an if(WIN32):
#     SOURCES   both flavours, every platform
#     WIN       both flavours, Windows builds only
#     POSIX     both flavours, native (Linux) builds only
#     NP  AX    one flavour, every platform
#     NP_WIN  AX_WIN  NP_POSIX  AX_POSIX   one flavour, one platform
#     DEPS      component libraries (base names; the flavour is added here)
#     LIBS      other libraries, both flavours, every platform
#     NP_LIBS AX_LIBS WIN_LIBS POSIX_LIBS  flavour- or platform-only libraries
#     WIN_DEFINES  private compile definitions of Windows builds
#     FLAVOURS  the flavours the component exists in (default: np ax)
#
# A target whose slots leave it no source on this platform is not created:
# a Windows-only component simply lists everything under WIN (or NP_WIN /
# AX_WIN), and the native build never sees an empty library. Anything that
# depends on it must be Windows-only the same way.
set(PIXMEND_FLAVOURS np ax)

set(PIXMEND_SLOT_ARGS
    SOURCES WIN POSIX NP NP_WIN NP_POSIX AX AX_WIN AX_POSIX
    DEPS LIBS NP_LIBS AX_LIBS WIN_LIBS POSIX_LIBS WIN_DEFINES FLAVOURS)

if(WIN32)
  set(PIXMEND_PLATFORM WIN)
else()
  set(PIXMEND_PLATFORM POSIX)
endif()

# Resolves the slots parsed into A_* (cmake_parse_arguments prefix A) for one
# flavour: sets srcs, libs and defines in the caller's scope.
macro(_pixmend_resolve_slots fl)
  string(TOUPPER ${fl} FL)
  set(srcs ${A_SOURCES} ${A_${PIXMEND_PLATFORM}} ${A_${FL}} ${A_${FL}_${PIXMEND_PLATFORM}})
  set(libs ${A_LIBS} ${A_${FL}_LIBS} ${A_${PIXMEND_PLATFORM}_LIBS})
  set(defines "")
  if(WIN32)
    set(defines ${A_WIN_DEFINES})
  endif()
  foreach(dep IN LISTS A_DEPS)
    list(APPEND libs ${dep}_${fl})
  endforeach()
endmacro()

# The flavours a call builds: FLAVOURS if given (checked), else both.
function(_pixmend_flavours out)
  set(fls ${ARGN})
  if(NOT fls)
    set(fls ${PIXMEND_FLAVOURS})
  endif()
  foreach(fl IN LISTS fls)
    if(NOT fl IN_LIST PIXMEND_FLAVOURS)
      message(FATAL_ERROR "unknown flavour '${fl}' (known: ${PIXMEND_FLAVOURS})")
    endif()
  endforeach()
  set(${out} ${fls} PARENT_SCOPE)
endfunction()

# Builds one target per flavour: KIND is STATIC (a component library, whose
# include root, flavour definition and libraries pass on to its users) or
# EXECUTABLE.
function(_pixmend_add_flavoured kind name)
  cmake_parse_arguments(A "" "" "${PIXMEND_SLOT_ARGS}" ${ARGN})
  _pixmend_flavours(fls ${A_FLAVOURS})
  foreach(fl IN LISTS fls)
    _pixmend_resolve_slots(${fl})
    if(NOT srcs)
      continue()
    endif()
    set(target ${name}_${fl})
    if(kind STREQUAL "STATIC")
      add_library(${target} STATIC ${srcs})
      target_include_directories(${target} PUBLIC ${PROJECT_SOURCE_DIR})
      set(scope PUBLIC)
    else()
      add_executable(${target} ${srcs})
      set(scope PRIVATE)
    endif()
    target_compile_definitions(${target} ${scope} PIXMEND_FLAVOUR_${FL}=1 PRIVATE ${defines})
    target_link_libraries(${target} ${scope} ${libs})
  endforeach()
endfunction()

# pixmend_add_library(<name> <slots...>): static libraries <name>_<fl>.
function(pixmend_add_library name)
  _pixmend_add_flavoured(STATIC ${name} ${ARGN})
endfunction()

# pixmend_add_executable(<name> <slots...>): programs <name>_<fl> (tools,
# tests), each compiled with its flavour's definition.
function(pixmend_add_executable name)
  _pixmend_add_flavoured(EXECUTABLE ${name} ${ARGN})
endfunction()

# pixmend_add_module(<output name> FLAVOUR <fl> DEF <file.def> <slots...>)
#
# One deliverable DLL: npPixmend (FLAVOUR np) or Pixmend (FLAVOUR ax).
# Builds the SHARED library target <output name> (file <output name>.dll, no
# "lib" prefix) from the flavour's slots (SOURCES, WIN, NP_WIN, ... as above;
# resource scripts .rc go in the source slots) linked against the <fl>
# variants of DEPS. The .def file names the entry points, exported
# undecorated (stdcall entry points of the 32-bit build keep their plain
# names); classes declared for export (support/Export.h) add themselves. The
# MinGW runtime (libgcc, libstdc++, winpthread) is linked in statically: a
# browser loads the DLL from the plug-in folder or the registry path and
# finds no MinGW DLLs beside it. Component libraries are whole archives, so
# exported classes that nothing in the DLL calls still get in.
#
#   pixmend_add_module(npPixmend FLAVOUR np
#     DEF  npPixmend.def
#     WIN  PluginEntry_win.cpp Plugin_win.cpp npPixmend.rc
#     DEPS npapi_script editor pximage)
#
# Windows builds only; elsewhere the call does nothing (there is no native
# deliverable), so it needs no if(WIN32) around it.
function(pixmend_add_module name)
  cmake_parse_arguments(A "" "FLAVOUR;DEF" "${PIXMEND_SLOT_ARGS}" ${ARGN})
  if(NOT WIN32)
    return()
  endif()
  if(NOT A_FLAVOUR OR A_FLAVOURS)
    message(FATAL_ERROR "pixmend_add_module(${name}): name exactly one FLAVOUR")
  endif()
  if(NOT A_DEF)
    message(FATAL_ERROR "pixmend_add_module(${name}): a DEF file names the exports")
  endif()
  _pixmend_flavours(fl ${A_FLAVOUR})
  _pixmend_resolve_slots(${fl})
  set(components "")
  foreach(dep IN LISTS A_DEPS)
    list(APPEND components ${dep}_${fl})
  endforeach()
  list(REMOVE_ITEM libs ${components})
  get_filename_component(def ${A_DEF} ABSOLUTE)
  add_library(${name} SHARED ${srcs} ${def})
  set_target_properties(${name} PROPERTIES PREFIX "" OUTPUT_NAME ${name})
  target_compile_definitions(${name} PRIVATE PIXMEND_FLAVOUR_${FL}=1 ${defines})
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR})
  if(components)
    # Raw --whole-archive around the archive files rather than CMake's
    # WHOLE_ARCHIVE feature: that feature refuses a component that another
    # component also links (editor -> canvas -> pximage), which every real
    # deliverable has. The plain names after it carry the components' own
    # libraries and the build order.
    set(archives "")
    foreach(c IN LISTS components)
      list(APPEND archives "$<TARGET_FILE:${c}>")
    endforeach()
    target_link_libraries(${name} PRIVATE -Wl,--whole-archive ${archives} -Wl,--no-whole-archive
                          ${components})
  endif()
  target_link_libraries(${name} PRIVATE ${libs})
  # The shipped Release DLLs leave out the symbol table and the debug
  # sections the static runtime libraries bring: a third of the file.
  target_link_options(${name} PRIVATE -static -static-libgcc -static-libstdc++
                      -Wl,--enable-stdcall-fixup $<$<CONFIG:Release>:-s>)
endfunction()
