# SPDX-License-Identifier: GPL-3.0-or-later
# Installation (cmake --install) and the Debian package (cpack -G DEB).
#
# Installed: the executable, the freedesktop desktop entry, the scalable icon, the AppStream
# metadata, the manual page cedolario(1) in English and Italian, and the copyright file and changelog
# where Debian keeps them. Each user's archive lies in their own data directory; the shared archive directory
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

# The manual page, one source for both languages (src/cli/cedolario.man), and the changelog, compressed
# as Debian ships them. A Windows build has neither man nor /usr/share/doc.
if(NOT WIN32)
    set(man_source ${PROJECT_SOURCE_DIR}/src/cli/cedolario.man)
    set(man_pages)
    foreach(language en it)
        set(page ${CMAKE_BINARY_DIR}/man/${language}/cedolario.1.gz)
        add_custom_command(OUTPUT ${page}
            COMMAND sh ${PROJECT_SOURCE_DIR}/cmake/man-page.sh ${man_source} ${language} ${PROJECT_VERSION}
                    ${CEDOLARIO_SYSTEM_DIR} ${page}
            DEPENDS ${man_source} ${PROJECT_SOURCE_DIR}/cmake/man-page.sh
            COMMENT "Manual page cedolario(1), ${language}" VERBATIM)
        list(APPEND man_pages ${page})
    endforeach()
    set(changelog ${CMAKE_BINARY_DIR}/doc/changelog.gz)
    file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/doc)
    add_custom_command(OUTPUT ${changelog}
        COMMAND sh -c "gzip -9n <\"$1\" >\"$2\"" sh ${CMAKE_CURRENT_LIST_DIR}/debian/changelog ${changelog}
        DEPENDS ${CMAKE_CURRENT_LIST_DIR}/debian/changelog VERBATIM)
    add_custom_target(cedolario_documents ALL DEPENDS ${man_pages} ${changelog})
    install(FILES ${CMAKE_BINARY_DIR}/man/en/cedolario.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
    install(FILES ${CMAKE_BINARY_DIR}/man/it/cedolario.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/it/man1)
    # A native package (its version has no Debian revision): lintian wants changelog.gz.
    install(FILES ${changelog} ${CMAKE_CURRENT_LIST_DIR}/debian/copyright DESTINATION ${CMAKE_INSTALL_DOCDIR})
endif()

configure_file(${CMAKE_CURRENT_LIST_DIR}/debian/postinst.in ${CMAKE_BINARY_DIR}/debian/postinst @ONLY)

set(CEDOLARIO_PACKAGE_MAINTAINER "Cedolario maintainers <maintainers@cedolario.it>" CACHE STRING
    "Maintainer field of the Debian package (Name <address>)")
# A build directory made before the field had an address keeps the old value in its cache.
if(CEDOLARIO_PACKAGE_MAINTAINER STREQUAL "Cedolario maintainers")
    set(CEDOLARIO_PACKAGE_MAINTAINER "Cedolario maintainers <maintainers@cedolario.it>" CACHE STRING
        "Maintainer field of the Debian package (Name <address>)" FORCE)
endif()

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
# Stripped as dh_strip strips, by packaging/StripForPackage.cmake on the staged files.
set(CPACK_STRIP_FILES OFF)
set(CPACK_PRE_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/StripForPackage.cmake)
set(CPACK_CEDOLARIO_STRIP ${CMAKE_STRIP})
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE https://cedolario.it/)
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
