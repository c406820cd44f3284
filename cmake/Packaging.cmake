# The Debian package (amd64): `cmake --build build --target package` writes
# build/quillon_<version>_amd64.deb. It holds the Linux builder (with the stub
# and helper images it embeds) in /usr/bin, both Windows builders under
# /usr/share/quillon, the man page and the README; it depends on the shared
# libraries the Linux builder links, as dpkg-shlibdeps finds them.
install(TARGETS quillon RUNTIME DESTINATION bin)
install(FILES ${QUILLON_WIN_I686_DIR}/builder/cli/quillon.exe DESTINATION share/quillon)
install(FILES ${QUILLON_WIN_X86_64_DIR}/builder/cli/quillon.exe DESTINATION share/quillon/x86_64)
install(FILES README.md DESTINATION share/doc/quillon)

# Debian keeps man pages compressed.
set(man_page ${CMAKE_BINARY_DIR}/quillon.1.gz)
add_custom_command(OUTPUT ${man_page}
  COMMAND gzip -9n -c ${PROJECT_SOURCE_DIR}/docs/quillon.1 > ${man_page}
  DEPENDS docs/quillon.1 VERBATIM)
add_custom_target(man_page ALL DEPENDS ${man_page})
install(FILES ${man_page} DESTINATION share/man/man1)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quillon)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "builds self-extracting Windows executables from a folder")
set(CPACK_PACKAGE_DESCRIPTION
  "Quillon turns a source folder into one self-extracting Windows executable. The Linux builder writes the same files as the Windows builders, which the package carries too.")
set(CPACK_PACKAGE_CONTACT "Quillon developers <dev@quillon.example>")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE amd64)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
include(CPack)
