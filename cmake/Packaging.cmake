# A Debian package of whatever the install rules put in place: `cpack` in a build
# folder writes sprigwell_<version>_<arch>.deb there.
set(SPRIGWELL_PACKAGE_CONTACT "Sprigwell maintainers <sprigwell@example.invalid>"
    CACHE STRING "Maintainer named in the Debian package")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME sprigwell)
set(CPACK_PACKAGE_VENDOR Sprigwell)
set(CPACK_PACKAGE_CONTACT "${SPRIGWELL_PACKAGE_CONTACT}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
set(CPACK_PACKAGE_DESCRIPTION
    "Sprigwell lists the immediate sub-folders of a source folder that changed since the \
start of the day a number of days back, and copies the ones you select into a destination \
folder under their own names, replacing files of the same name there.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
# dpkg-shlibdeps turns the libraries the binary links (Qt Core, Gui and Widgets, the C++
# runtime) into versioned Depends. The window's fonts are only preferred, not needed.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS fonts-liberation)

include(CPack)
