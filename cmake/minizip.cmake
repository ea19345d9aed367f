# minizip: Debian's package natively; for mingw, built from the zlib source package that
# scripts/setup unpacks into .deps/minizip (never committed).
if(WIN32)
  set(VELORA_MINIZIP_DIR ${CMAKE_SOURCE_DIR}/.deps/minizip)
  if(NOT EXISTS ${VELORA_MINIZIP_DIR}/zip.c)
    message(FATAL_ERROR "minizip sources missing in ${VELORA_MINIZIP_DIR}: run scripts/setup")
  endif()
  add_library(velora_minizip STATIC
    ${VELORA_MINIZIP_DIR}/zip.c ${VELORA_MINIZIP_DIR}/unzip.c
    ${VELORA_MINIZIP_DIR}/ioapi.c ${VELORA_MINIZIP_DIR}/iowin32.c)
  target_include_directories(velora_minizip PUBLIC ${VELORA_MINIZIP_DIR})
  target_compile_options(velora_minizip PRIVATE -w)
  # crypt.h, included by the add-in for the traditional encryption, declares "register".
  target_compile_options(velora_minizip INTERFACE $<$<COMPILE_LANGUAGE:CXX>:-Wno-register>)
  target_link_libraries(velora_minizip PUBLIC ZLIB::ZLIB)
else()
  find_package(PkgConfig REQUIRED)
  pkg_check_modules(MINIZIP REQUIRED IMPORTED_TARGET minizip)
  add_library(velora_minizip INTERFACE)
  target_link_libraries(velora_minizip INTERFACE PkgConfig::MINIZIP ZLIB::ZLIB)
endif()
