# The Debian package: what is installed where, the theme icons and the AppStream data, and
# CPack's settings. `./quorvane.sh package` builds it. The program and its helper sit in
# /usr/lib/quorvane with the marker that sends each user's files to their data folder; every
# installed file is root's and read-only to others. postinst gives the helper its group, mode
# and capabilities (the group does not exist when the package is built).

set(QUORVANE_ID example.veltrand.quorvane)
set(QUORVANE_ICON_SIZES 16 22 24 32 48 64 128 256)
set(QUORVANE_PACKAGE_DATA ${CMAKE_BINARY_DIR}/package_data)

# The theme icons, rendered from the program's own drawing.
add_executable(quorvane_render_icons src/resources/render_icons.cpp)
target_link_libraries(quorvane_render_icons PRIVATE quorvane_qt)
quorvane_warnings(quorvane_render_icons)
set(QUORVANE_ICON_FILES)
foreach(size IN LISTS QUORVANE_ICON_SIZES)
  list(APPEND QUORVANE_ICON_FILES
       ${QUORVANE_PACKAGE_DATA}/icons/${size}x${size}/apps/${QUORVANE_ID}.png)
endforeach()
add_custom_command(OUTPUT ${QUORVANE_ICON_FILES}
                   COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen
                           $<TARGET_FILE:quorvane_render_icons> ${QUORVANE_PACKAGE_DATA}/icons
                           ${QUORVANE_ID} ${QUORVANE_ICON_SIZES}
                   DEPENDS quorvane_render_icons
                   COMMENT "Rendering the theme icons")
add_custom_target(quorvane_icons ALL DEPENDS ${QUORVANE_ICON_FILES})

# Debian wants its changelog and manual page compressed, and reproducibly (-n: no name or
# time stamp).
foreach(doc changelog quorvane.1)
  configure_file(packaging/${doc} ${QUORVANE_PACKAGE_DATA}/${doc} COPYONLY)
  add_custom_command(OUTPUT ${QUORVANE_PACKAGE_DATA}/${doc}.gz
                     COMMAND gzip -9nkf ${QUORVANE_PACKAGE_DATA}/${doc}
                     DEPENDS ${QUORVANE_PACKAGE_DATA}/${doc})
endforeach()
add_custom_target(quorvane_docs ALL DEPENDS ${QUORVANE_PACKAGE_DATA}/changelog.gz
                                            ${QUORVANE_PACKAGE_DATA}/quorvane.1.gz)

configure_file(src/resources/${QUORVANE_ID}.metainfo.xml.in
               ${QUORVANE_PACKAGE_DATA}/${QUORVANE_ID}.metainfo.xml @ONLY)
set(QUORVANE_DESKTOP_FILE ${CMAKE_SOURCE_DIR}/src/resources/${QUORVANE_ID}.desktop)
set(QUORVANE_METAINFO_FILE ${QUORVANE_PACKAGE_DATA}/${QUORVANE_ID}.metainfo.xml)
# The command on the PATH: a link, so that /proc/self/exe, and with it the settings
# profile's name, stays Quorvane.
file(CREATE_LINK ../lib/quorvane/Quorvane ${QUORVANE_PACKAGE_DATA}/quorvane SYMBOLIC)

install(TARGETS Quorvane DESTINATION usr/lib/quorvane)
# Unpacked without capabilities the helper can do nothing; postinst narrows it to the group.
install(TARGETS quorvane-helper DESTINATION usr/lib/quorvane)
install(FILES packaging/installed-layout DESTINATION usr/lib/quorvane)
install(FILES src/resources/Quorvane.ini DESTINATION etc/quorvane)
install(FILES ${QUORVANE_PACKAGE_DATA}/quorvane DESTINATION usr/bin)
install(FILES ${QUORVANE_PACKAGE_DATA}/quorvane.1.gz DESTINATION usr/share/man/man1)
install(FILES ${QUORVANE_DESKTOP_FILE} DESTINATION usr/share/applications)
install(FILES ${QUORVANE_METAINFO_FILE} DESTINATION usr/share/metainfo)
install(DIRECTORY ${QUORVANE_PACKAGE_DATA}/icons/ DESTINATION usr/share/icons/hicolor)
install(FILES packaging/copyright ${QUORVANE_PACKAGE_DATA}/changelog.gz
        DESTINATION usr/share/doc/quorvane)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quorvane)
set(CPACK_PACKAGE_VENDOR Veltrand)
set(CPACK_PACKAGE_CONTACT "Veltrand <quorvane@veltrand.example>")
set(CPACK_PACKAGING_INSTALL_PREFIX /)
# The program stays 2.0; the package's layout changed, and an upgrade from 2.0 moves its files.
set(CPACK_PACKAGE_VERSION 2.0.1)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ
                                                GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "SNTP time synchronization client for the desktop")
# CPack puts the summary above this as the first line.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Quorvane keeps the computer's clock set from SNTP time servers. It polls a
primary server at an interval, retries a silent one and fails over to a
secondary, or listens for broadcasts on UDP port 123. Every correction can be
logged to a text file with size or age limits and numbered backups, and the
correction history is charted with the clock's drift.
.
The clock is set by a small helper that only members of the group quorvane may
run; the window program holds no privilege.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE https://www.veltrand.example/)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# setcap in postinst, addgroup there; the rest comes from the shared-library scan.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libcap2-bin, adduser")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${CMAKE_SOURCE_DIR}/packaging/preinst
                                       ${CMAKE_SOURCE_DIR}/packaging/postinst
                                       ${CMAKE_SOURCE_DIR}/packaging/postrm
                                       ${CMAKE_SOURCE_DIR}/packaging/conffiles)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
