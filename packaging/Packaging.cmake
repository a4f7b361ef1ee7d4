# SPDX-License-Identifier: GPL-3.0-or-later
# Installation (cmake --install) and the Debian package (cpack -G DEB).
#
# Installed: the executable, the freedesktop desktop entry, the scalable icon and the AppStream
# metadata. Each user's archive lies in their own data directory; the shared archive directory
# CEDOLARIO_SYSTEM_DIR is not installed as a file of the package: the package's postinst makes the group
# "cedolario" and gives the directory its safe shape (2770 root:cedolario), converting one left by an
# earlier install. No maintainer script deletes the directory or the archive in it, and dpkg does not
# own it, so removal and purge keep the users' saved slips.
include(GNUInstallDirs)

set(CEDOLARIO_APP_ID it.cedolario.Cedolario)

install(TARGETS cedolario RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${CMAKE_CURRENT_LIST_DIR}/${CEDOLARIO_APP_ID}.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/${CEDOLARIO_APP_ID}.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${PROJECT_SOURCE_DIR}/src/resources/svg/cedolario.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps
        RENAME ${CEDOLARIO_APP_ID}.svg)

configure_file(${CMAKE_CURRENT_LIST_DIR}/debian/postinst.in ${CMAKE_BINARY_DIR}/debian/postinst @ONLY)

set(CEDOLARIO_PACKAGE_MAINTAINER "Cedolario maintainers" CACHE STRING
    "Maintainer field of the Debian package (Name <address>)")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME cedolario)
set(CPACK_PACKAGE_VENDOR "Cedolario")
set(CPACK_PACKAGE_CONTACT "${CEDOLARIO_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Fill in and print Italian postal payment slips")
set(CPACK_PACKAGE_DESCRIPTION
    "Cedolario fills in Italian postal current-account payment slips on an image\n\
of the slip and prints them on plain A4 paper through the default printer.\n\
Saved slips are kept in each user's own archive, or in one shared by the\n\
members of the group cedolario, in ${CEDOLARIO_SYSTEM_DIR}.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Printed slips name Arial and Times New Roman; fontconfig maps them to these metric-compatible fonts.
# passwd gives the postinst groupadd.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-liberation, passwd, libcups2 (>= 2.2)")
# Qt's own texts (context menus, the file dialog) in Italian.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS qt6-translations-l10n)
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${CMAKE_BINARY_DIR}/debian/postinst)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
