# Builds the Windows programs for both architectures as sub-builds of the
# native build, from this same source tree, with the mingw-w64 toolchains.
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
