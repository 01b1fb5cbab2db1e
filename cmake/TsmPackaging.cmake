# What "cmake --install" puts where, beyond the rules beside each program and library, and the
# Debian package that CPack makes of it. Components: Programs (tsmCL, tsm, tsmhost, tsmtrial,
# ZELErrorReporting), Arbor (library, headers, CMake package), Wireshark (the dissector),
# Documentation. The .deb holds them all.

# The crash reporter lies beside tsmCL, which starts it from its own folder.
if(TARGET ZELErrorReporting)
    install(TARGETS ZELErrorReporting RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}
            COMPONENT Programs)
endif()

install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION ${CMAKE_INSTALL_DOCDIR}
        COMPONENT Documentation)
install(DIRECTORY ${PROJECT_SOURCE_DIR}/docs/ DESTINATION ${CMAKE_INSTALL_DOCDIR}/docs
        COMPONENT Documentation FILES_MATCHING PATTERN "*.png")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tsm)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "tsm developers <tsm-dev@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "Simulated motion-capture rig: tsmCL, the tsm launcher, tsmhost, tsmtrial and Arbor")
set(CPACK_PACKAGE_DESCRIPTION
    "tsmCL stands in for a network of optical cameras and a sync unit, replaying recorded \
.x2d/.x1d trials over the devices' own protocol. Also: the tsm launcher, the tsmhost \
stand-in capture host, the tsmtrial trial tool, the Arbor library with its headers and \
CMake package, and a Wireshark dissector of the protocol.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
# The runtime packages the programs and the library really load, as dpkg-shlibdeps finds them.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "tshark | wireshark")
set(CPACK_DEB_COMPONENT_INSTALL OFF)
include(CPack)
