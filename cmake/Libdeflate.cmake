# libdeflate packs the chunks in both builders, so that they write the same
# bytes. The Linux build uses Debian's libdeflate-dev. Debian has no mingw
# build of it, so the Windows builds compile the compression side of Debian's
# source package of the same version, which the native build fetches into
# its build folder (scripts/fetch-deb-source) and hands to them.
if(WIN32)
  if(NOT QUILLON_LIBDEFLATE_SOURCE OR NOT EXISTS ${QUILLON_LIBDEFLATE_SOURCE}/libdeflate.h)
    message(FATAL_ERROR "QUILLON_LIBDEFLATE_SOURCE must name the unpacked libdeflate source package")
  endif()
  set(lib ${QUILLON_LIBDEFLATE_SOURCE}/lib)
  add_library(quillon_deflate STATIC
    ${lib}/adler32.c ${lib}/crc32.c ${lib}/deflate_compress.c ${lib}/utils.c
    ${lib}/zlib_compress.c ${lib}/x86/cpu_features.c)
  target_include_directories(quillon_deflate SYSTEM PUBLIC ${QUILLON_LIBDEFLATE_SOURCE})
  target_compile_options(quillon_deflate PRIVATE -w)  # not our code to keep warning-free
else()
  find_path(LIBDEFLATE_INCLUDE_DIR libdeflate.h REQUIRED)
  # The shared library, as Debian's own packages link it: the package depends
  # on libdeflate0 instead of carrying a copy.
  find_library(LIBDEFLATE_SHARED_LIBRARY NAMES deflate REQUIRED)
  add_library(quillon_deflate INTERFACE)
  target_include_directories(quillon_deflate SYSTEM INTERFACE ${LIBDEFLATE_INCLUDE_DIR})
  target_link_libraries(quillon_deflate INTERFACE ${LIBDEFLATE_SHARED_LIBRARY})

  set(QUILLON_LIBDEFLATE_SOURCE ${CMAKE_BINARY_DIR}/deps/libdeflate)
  # A build that takes its Windows programs from another needs no source here.
  if(NOT QUILLON_WINDOWS_FROM AND NOT EXISTS ${QUILLON_LIBDEFLATE_SOURCE}/.unpacked)
    execute_process(
      COMMAND bash ${PROJECT_SOURCE_DIR}/scripts/fetch-deb-source libdeflate ${CMAKE_BINARY_DIR}/deps
      RESULT_VARIABLE fetched)
    if(NOT fetched EQUAL 0)
      message(FATAL_ERROR "Could not fetch Debian's libdeflate source package for the Windows builds")
    endif()
  endif()
endif()
