# Builds the Windows programs for both architectures as sub-builds of the
# native build, from this same source tree, with the mingw-w64 toolchains.
#
# A second native build of the same tree (the sanitizer and fuzzing build)
# takes the Windows programs of the first instead: QUILLON_WINDOWS_FROM names
# that build's folder.
set(QUILLON_WINDOWS_FROM "" CACHE PATH "Build folder whose Windows sub-builds to use instead of making them")
if(QUILLON_WINDOWS_FROM)
  foreach(arch i686 x86_64)
    string(TOUPPER ${arch} ARCH)
    set(QUILLON_WIN_${ARCH}_DIR ${QUILLON_WINDOWS_FROM}/win-${arch})
    if(NOT EXISTS ${QUILLON_WIN_${ARCH}_DIR}/stub/sfxhead.exe)
      message(FATAL_ERROR "${QUILLON_WIN_${ARCH}_DIR} holds no built Windows programs")
    endif()
    add_custom_target(win-${arch})  # nothing to build here; the targets keep the dependencies valid
  endforeach()
  return()
endif()

include(ExternalProject)

function(quillon_windows_build arch testing)
  set(dir ${CMAKE_BINARY_DIR}/win-${arch})
  set(byproducts
    ${dir}/stub/sfxhead.exe
    ${dir}/selfdelete/selfdelete.exe
    ${dir}/builder/cli/quillon.exe)
  ExternalProject_Add(win-${arch}
    SOURCE_DIR ${PROJECT_SOURCE_DIR}
    BINARY_DIR ${dir}
    CMAKE_ARGS
      -DCMAKE_TOOLCHAIN_FILE=${PROJECT_SOURCE_DIR}/cmake/toolchain-mingw-${arch}.cmake
      -DCMAKE_BUILD_TYPE=${CMAKE_BUILD_TYPE}
      -DBUILD_TESTING=${testing}
      -DQUILLON_LIBDEFLATE_SOURCE=${QUILLON_LIBDEFLATE_SOURCE}
    BUILD_ALWAYS ON
    INSTALL_COMMAND ""
    BUILD_BYPRODUCTS ${byproducts})
  string(TOUPPER ${arch} ARCH)
  set(QUILLON_WIN_${ARCH}_DIR ${dir} PARENT_SCOPE)
endfunction()

quillon_windows_build(i686 OFF)
quillon_windows_build(x86_64 ON)
