# Installation layout and the Debian package (scripts/package.sh):
# programs in bin, a desktop entry with its icon in every size, the manual
# pages made from docs/man/*.scd, and docs/ as the package's documentation.

include(GNUInstallDirs)

set(MAROKA_PACKAGING_DIR ${CMAKE_SOURCE_DIR}/packaging)
set(MAROKA_DOC_DIR ${CMAKE_INSTALL_DATAROOTDIR}/doc/maroka)

install(TARGETS maroka-cli maroka-machine RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
if(TARGET maroka)
    install(TARGETS maroka RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()

# Manual pages, compressed as Debian wants them (gzip -9n: no name, no time).
find_program(MAROKA_SCDOC scdoc)
find_program(MAROKA_GZIP gzip REQUIRED)
if(MAROKA_SCDOC)
    set(MAROKA_MAN_PAGES)
    foreach(page maroka maroka-cli maroka-machine)
        set(source ${CMAKE_SOURCE_DIR}/docs/man/${page}.1.scd)
        set(output ${CMAKE_BINARY_DIR}/man/${page}.1.gz)
        add_custom_command(OUTPUT ${output}
            COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/man
            COMMAND ${MAROKA_SCDOC} < ${source} > ${CMAKE_BINARY_DIR}/man/${page}.1
            COMMAND ${MAROKA_GZIP} -9nf ${CMAKE_BINARY_DIR}/man/${page}.1
            DEPENDS ${source}
            COMMENT "Manual page ${page}(1)"
            VERBATIM)
        list(APPEND MAROKA_MAN_PAGES ${output})
    endforeach()
    add_custom_target(man_pages ALL DEPENDS ${MAROKA_MAN_PAGES})
    install(FILES ${MAROKA_MAN_PAGES} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
else()
    message(STATUS "scdoc not found: no manual pages")
endif()

# The icon: the drawing itself plus the bitmap sizes menus and title bars ask for.
install(FILES ${MAROKA_PACKAGING_DIR}/maroka.svg
    DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/icons/hicolor/scalable/apps)
find_program(MAROKA_RSVG rsvg-convert)
if(MAROKA_RSVG)
    set(MAROKA_ICONS)
    foreach(size 16 24 32 48 64 128 256)
        set(output ${CMAKE_BINARY_DIR}/icons/${size}x${size}/maroka.png)
        add_custom_command(OUTPUT ${output}
            COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/icons/${size}x${size}
            COMMAND ${MAROKA_RSVG} -w ${size} -h ${size} -o ${output} ${MAROKA_PACKAGING_DIR}/maroka.svg
            DEPENDS ${MAROKA_PACKAGING_DIR}/maroka.svg
            COMMENT "Icon ${size}x${size}"
            VERBATIM)
        list(APPEND MAROKA_ICONS ${output})
        install(FILES ${output} DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/icons/hicolor/${size}x${size}/apps)
    endforeach()
    add_custom_target(icons ALL DEPENDS ${MAROKA_ICONS})
else()
    message(STATUS "rsvg-convert not found: only the scalable icon")
endif()

install(FILES ${MAROKA_PACKAGING_DIR}/maroka.desktop DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/applications)
install(FILES ${MAROKA_PACKAGING_DIR}/maroka-mime.xml DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/mime/packages
    RENAME maroka.xml)

# Documentation: docs/ without the manual-page sources, the README, the
# copyright and the changelog.
install(DIRECTORY ${CMAKE_SOURCE_DIR}/docs/ DESTINATION ${MAROKA_DOC_DIR} PATTERN man EXCLUDE)
install(FILES ${CMAKE_SOURCE_DIR}/README.md ${MAROKA_PACKAGING_DIR}/copyright DESTINATION ${MAROKA_DOC_DIR})
set(MAROKA_CHANGELOG ${CMAKE_BINARY_DIR}/changelog.gz)
add_custom_command(OUTPUT ${MAROKA_CHANGELOG}
    COMMAND ${MAROKA_GZIP} -9nc ${MAROKA_PACKAGING_DIR}/changelog > ${MAROKA_CHANGELOG}
    DEPENDS ${MAROKA_PACKAGING_DIR}/changelog
    VERBATIM)
add_custom_target(changelog ALL DEPENDS ${MAROKA_CHANGELOG})
install(FILES ${MAROKA_CHANGELOG} DESTINATION ${MAROKA_DOC_DIR})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME maroka)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The Maroka developers")
set(CPACK_PACKAGE_CONTACT "Maroka developers <maroka@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "NC program transfer between a PC and CNC machine tools")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Maroka moves NC part programs between a PC and CNC machine tools over an
RS-232C line. It sends programs into the control's memory or drip-feeds
them (DNC) with subprogram calls expanded and the remaining machining time
shown, receives programs back and repairs a damaged reception, and in
server mode lets the machine call, save, list, delete and rename files on
the PC.
.
The package holds the main window (maroka), the same session from a
terminal (maroka-cli) and a simulated CNC control on a pseudo-terminal
(maroka-machine) for trying settings without a machine.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-noto-cjk, qt6-translations-l10n")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
include(CPack)
