# Install rules and the Debian package, in Debian's layout for games: the
# content under share/games/flagstorm, the executable in lib/games/flagstorm,
# a launcher in games/ that starts it in the content directory, a menu entry
# with its icon, the manual page and the package documents.
include(GNUInstallDirs)

set(FLAGSTORM_CONTENT_DIR "${CMAKE_INSTALL_PREFIX}/share/games/flagstorm")
set(FLAGSTORM_EXECUTABLE "${CMAKE_INSTALL_PREFIX}/lib/games/flagstorm/flagstorm")
set(FLAGSTORM_LAUNCHER "${CMAKE_INSTALL_PREFIX}/games/flagstorm")
set(FLAGSTORM_SYSTEM_FONT "/usr/share/fonts/truetype/open-sans/OpenSans-Bold.ttf")
set(PACKAGING_DIR "${CMAKE_SOURCE_DIR}/packaging")
set(PACKAGING_OUT "${CMAKE_BINARY_DIR}/packaging")
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

configure_file(${PACKAGING_DIR}/flagstorm.in ${PACKAGING_OUT}/flagstorm @ONLY)
configure_file(${PACKAGING_DIR}/flagstorm.desktop.in ${PACKAGING_OUT}/flagstorm.desktop @ONLY)

# The font is not copied: a relative link to the file of fonts-open-sans.
file(RELATIVE_PATH font_link_target "${FLAGSTORM_CONTENT_DIR}/resources/fonts" "${FLAGSTORM_SYSTEM_FONT}")
file(MAKE_DIRECTORY ${PACKAGING_OUT}/fonts)
file(CREATE_LINK ${font_link_target} ${PACKAGING_OUT}/fonts/DroidSans-Bold.ttf SYMBOLIC)

# Debian wants the changelog and the manual page compressed, reproducibly.
foreach(document changelog flagstorm.6)
    add_custom_command(OUTPUT ${PACKAGING_OUT}/${document}.gz
        COMMAND gzip -9n -c ${PACKAGING_DIR}/${document} > ${PACKAGING_OUT}/${document}.gz
        DEPENDS ${PACKAGING_DIR}/${document}
        VERBATIM)
    list(APPEND package_documents ${PACKAGING_OUT}/${document}.gz)
endforeach()
add_custom_target(package_documents ALL DEPENDS ${package_documents})

install(TARGETS flagstorm RUNTIME DESTINATION lib/games/flagstorm)
install(PROGRAMS ${PACKAGING_OUT}/flagstorm DESTINATION games)
install(DIRECTORY ${CMAKE_SOURCE_DIR}/data DESTINATION share/games/flagstorm)
install(DIRECTORY ${CMAKE_SOURCE_DIR}/resources DESTINATION share/games/flagstorm
    PATTERN DroidSans-Bold.ttf EXCLUDE
    PATTERN icons EXCLUDE)
install(FILES ${PACKAGING_OUT}/fonts/DroidSans-Bold.ttf DESTINATION share/games/flagstorm/resources/fonts)
install(FILES ${PACKAGING_OUT}/flagstorm.desktop DESTINATION share/applications)
install(FILES ${CMAKE_SOURCE_DIR}/resources/icons/flagstorm.png DESTINATION share/icons/hicolor/256x256/apps)
install(FILES ${PACKAGING_OUT}/flagstorm.6.gz DESTINATION share/man/man6)
install(FILES ${PACKAGING_DIR}/copyright ${PACKAGING_OUT}/changelog.gz DESTINATION share/doc/flagstorm)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME flagstorm)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "the Flagstorm developers")
set(CPACK_PACKAGE_CONTACT "Flagstorm developers <flagstorm@example.org>")
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "team game of capture the flag in 3D")
# The summary above is the synopsis line; this is the extended description.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Blue plays against Red, four actors a side, in an arena of rocks, walls and
trees. You lead the first Blue actor with mouse and keyboard; computer
players defend their flag. Both sides cast fireballs, chain lightning and
crushing waves, die and respawn. The first team to 5 captures wins.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION games)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS fonts-open-sans)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_STRIP_FILES ON)
include(CPack)
