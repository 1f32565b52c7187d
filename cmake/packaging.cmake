# How TORVEL installs and packages: the CMake package (TORVEL::torvel,
# TORVEL::hostsupport), pkg-config files, the docs, and a Debian package made
# by CPack from the same install rules. Every installed file finds the others
# by relative paths, so the tree works under any prefix.
include(CMakePackageConfigHelpers)

set(TORVEL_CMAKEDIR ${CMAKE_INSTALL_LIBDIR}/cmake/TORVEL)
install(EXPORT TORVELTargets NAMESPACE TORVEL:: DESTINATION ${TORVEL_CMAKEDIR})
configure_package_config_file(cmake/TORVELConfig.cmake.in ${CMAKE_CURRENT_BINARY_DIR}/TORVELConfig.cmake
    INSTALL_DESTINATION ${TORVEL_CMAKEDIR} PATH_VARS CMAKE_INSTALL_LIBDIR CMAKE_INSTALL_INCLUDEDIR)
# A newer minor version serves a host built against an older one, as the soname says.
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/TORVELConfigVersion.cmake
    COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/TORVELConfig.cmake ${CMAKE_CURRENT_BINARY_DIR}/TORVELConfigVersion.cmake
    DESTINATION ${TORVEL_CMAKEDIR})

# pkg-config: the prefix is found from the .pc file's own place.
set(TORVEL_PCDIR ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
file(RELATIVE_PATH TORVEL_PC_TO_PREFIX /p/${TORVEL_PCDIR} /p)
string(REGEX REPLACE "/$" "" TORVEL_PC_TO_PREFIX "${TORVEL_PC_TO_PREFIX}")
foreach(pc torvel torvel-hostsupport)
    configure_file(cmake/${pc}.pc.in ${CMAKE_CURRENT_BINARY_DIR}/${pc}.pc @ONLY)
    install(FILES ${CMAKE_CURRENT_BINARY_DIR}/${pc}.pc DESTINATION ${TORVEL_PCDIR})
endforeach()

install(FILES README.md docs/architecture.md docs/host-interface.md docs/performance.md docs/bom-editor.png
    DESTINATION ${CMAKE_INSTALL_DOCDIR})

# cpack -G DEB in the build folder. Hosts and torvel-host register the
# library per user; the package itself runs no scripts.
set(CPACK_PACKAGE_NAME torvel)
set(CPACK_PACKAGE_VENDOR "TORVEL")
set(CPACK_PACKAGE_CONTACT "TORVEL maintainers <torvel@localhost>")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
set(CPACK_PACKAGE_DESCRIPTION
    "The BOM editor, group editor, BOM selection, per-bill completion and stock report that an ERP client loads through a C interface, with the torvel-host demo host, the host support library, headers, CMake and pkg-config files.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION libs)
# The Qt 6 and SQLite libraries it links, and the SQL driver plugin it loads
# by name; the PostgreSQL driver only for hosts on a server database.
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "libc6, libstdc++6, libqt6core6 (>= 6.4), libqt6gui6 (>= 6.4), libqt6widgets6 (>= 6.4), libqt6sql6 (>= 6.4), libqt6sql6-sqlite (>= 6.4), libsqlite3-0")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "libqt6sql6-psql (>= 6.4)")
set(CPACK_STRIP_FILES ON)
set(CPACK_GENERATOR DEB)
include(CPack)
