# The Debian package: `cpack -G DEB` in a build folder configured with
# CMAKE_BUILD_TYPE=Release (scripts/package.sh does both) gives
# velmora_<version>_<arch>.deb with the three programs, the desktop entry,
# the icons, the manual pages and the Debian copyright and changelog.
set(VELMORA_MAINTAINER "The VELMORA developers <velmora@example.org>"
    CACHE STRING "Maintainer named in the Debian package")

# Debian wants both files under /usr/share/doc/<package>; the changelog's
# date is the configure time (or SOURCE_DATE_EPOCH, for reproducible builds).
string(TIMESTAMP VELMORA_CHANGELOG_DATE "%a, %d %b %Y %H:%M:%S +0000" UTC)
configure_file(${CMAKE_CURRENT_LIST_DIR}/debian/changelog.in ${PROJECT_BINARY_DIR}/debian/changelog @ONLY)
add_custom_command(OUTPUT ${PROJECT_BINARY_DIR}/debian/changelog.gz
  COMMAND ${VELMORA_GZIP} -9nkf ${PROJECT_BINARY_DIR}/debian/changelog
  DEPENDS ${PROJECT_BINARY_DIR}/debian/changelog
  VERBATIM)
add_custom_target(velmora_debian_changelog ALL DEPENDS ${PROJECT_BINARY_DIR}/debian/changelog.gz)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/debian/copyright ${PROJECT_BINARY_DIR}/debian/changelog.gz
        DESTINATION ${CMAKE_INSTALL_DOCDIR})

set(CPACK_PACKAGE_NAME velmora)
set(CPACK_PACKAGE_VENDOR "The VELMORA developers")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT ${VELMORA_MAINTAINER})
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_GENERATOR DEB)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)  # velmora_<version>_<arch>.deb
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${VELMORA_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "prepare 3D models for computer-generated holograms")
# CPack indents the lines and turns the empty one into Debian's paragraph mark.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "VELMORA opens 3D Studio models (and OBJ, STL, PLY, glTF, COLLADA and FBX),
shows them lit and textured in an OpenGL window and exports the visible
surface as points for computer-generated hologram (CGH) computation: CGH
text point files, 3di grid files and PLY point clouds.

The package holds three programs: velmora, the Qt desktop program;
velmora-export, the same drawing and export without a display; and
velmora-holo, which computes holograms from the point files.")
# Libraries from dpkg-shlibdeps; what is loaded at run time without being
# linked (the fonts of the outline text, Mesa's drivers) is named here.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-liberation, fonts-wqy-microhei, libgl1-mesa-dri")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

include(CPack)
