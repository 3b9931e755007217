# SPDX-License-Identifier: MIT
# CPack: `cpack -G DEB` in the build folder makes quillmere_<version>_<architecture>.deb of what
# `cmake --install` installs, under /usr. dpkg-shlibdeps works out the packages of the linked
# libraries; the font and the Wayland plugin are named here, since no link shows them.

# The window carries its own face (DejaVu Sans Condensed) inside the program; Qt's font database
# still wants one system face through fontconfig, for the font it falls back to before that.
set(QUILLMERE_FONT_PACKAGE "fonts-dejavu-core" CACHE STRING "Debian package of a system font")

set(CPACK_PACKAGE_NAME quillmere)
set(CPACK_PACKAGE_VENDOR "The quillmere developers")
set(CPACK_PACKAGE_CONTACT "${QUILLMERE_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "demonstration of a message hidden in the spaces of a text")
set(CPACK_PACKAGE_DESCRIPTION [=[
quillmere shows how a short message hides in an ordinary German prose
text: every space is either an ordinary space (bit 0) or a no-break space
(bit 1), which look the same on screen. One window with German captions
hides and reveals a message in a sample text; the command-line tool
quillmere-text does the same with text files.]=])
set(CPACK_RESOURCE_FILE_LICENSE "${PROJECT_SOURCE_DIR}/LICENSE")
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
  OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION education)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "${PROJECT_HOMEPAGE_URL}")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "${QUILLMERE_FONT_PACKAGE}")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-wayland")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

# Windows: scripts/windows-packages.sh makes the zip and the NSIS installer from this script.
if(WIN32)
  configure_file(${QUILLMERE_RESOURCES}/windows/quillmere.nsi.in
    ${PROJECT_BINARY_DIR}/generated/quillmere.nsi @ONLY)
endif()

include(CPack)
