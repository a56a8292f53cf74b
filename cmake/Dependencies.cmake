# Third-party libraries. Native builds use Debian's -dev packages; Windows
# builds find the static libraries that scripts/setup-deps.sh cross-built into
# the dependency cache (CMAKE_FIND_ROOT_PATH is set by the toolchain file).
if(WIN32)
  set(CMAKE_FIND_LIBRARY_SUFFIXES .a)
endif()
find_package(ZLIB REQUIRED)
find_package(JPEG REQUIRED)
find_package(PNG REQUIRED)
find_package(TIFF REQUIRED)
if(WIN32)
  # libtiff's static archive needs the libraries it was configured with.
  set_property(TARGET TIFF::TIFF APPEND PROPERTY INTERFACE_LINK_LIBRARIES ZLIB::ZLIB JPEG::JPEG)
endif()
