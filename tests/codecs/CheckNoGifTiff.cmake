# cmake -DNM=nm -DAX_LIB=libpximage_ax.a -DNP_LIB=libpximage_np.a -P CheckNoGifTiff.cmake
# Fails when the Pixmend image library defines a GIF or TIFF symbol, or when
# the npPixmend one defines none (then the pattern would be wrong).
function(defined_codec_symbols lib out)
  execute_process(COMMAND ${NM} -C --defined-only ${lib} OUTPUT_VARIABLE symbols RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "nm failed on ${lib}")
  endif()
  string(REGEX MATCHALL "[^\n]*(PxImageGIF|PxGifLzw|PxImageTIF|TIFF[A-Z][A-Za-z]*)[^\n]*" found "${symbols}")
  set(${out} "${found}" PARENT_SCOPE)
endfunction()

defined_codec_symbols(${AX_LIB} ax)
defined_codec_symbols(${NP_LIB} np)
if(ax)
  list(LENGTH ax n)
  message(FATAL_ERROR "Pixmend library defines ${n} GIF/TIFF symbols, e.g. ${ax}")
endif()
if(NOT np)
  message(FATAL_ERROR "npPixmend library defines no GIF/TIFF symbol: the check is broken")
endif()
message(STATUS "ok: no GIF or TIFF symbols in ${AX_LIB}")
