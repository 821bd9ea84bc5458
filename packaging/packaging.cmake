# The Debian package tarvik-slave_<version>_<arch>.deb: the program, its
# settings file as a conffile, the menu entry with its icons, the man page and
# the systemd template. `bash scripts/package.sh` builds it; tests/package
# checks it.
#
# Layout: the program lives in /usr/lib/tarvik-slave/, where it looks for
# TarvikSlave.ini beside itself; that name is a link to the conffile in
# /etc/tarvik-slave/, so an installed program keeps the rule "the settings
# file is in the program's folder" while dpkg guards the administrator's edits.
if(NOT TARGET TarvikSlave)
  return()
endif()
if(NOT PROJECT_VERSION)
  message(FATAL_ERROR "The package takes its version from project(VERSION ...), which is not set.")
endif()

set(TARVIK_PACKAGE_MAINTAINER "Tarvik Slave Emulator maintainers <tarvik-slave@example.org>"
    CACHE STRING "Maintainer field of the Debian package")

set(tarvik_packaging_source ${CMAKE_CURRENT_LIST_DIR})
set(tarvik_packaging_build ${PROJECT_BINARY_DIR}/packaging)
set(tarvik_program_dir lib/tarvik-slave)        # under the prefix, /usr
set(tarvik_conffile /etc/tarvik-slave/TarvikSlave.ini)

# The PNG icons are drawn from the one SVG at build time, so the picture has a
# single source and cannot drift from its bitmaps.
find_program(TARVIK_RSVG_CONVERT rsvg-convert REQUIRED)
find_program(TARVIK_GZIP gzip REQUIRED)

set(tarvik_icon_svg ${tarvik_packaging_source}/tarvik-slave.svg)
set(tarvik_package_files)
foreach(size 16 32 48 64 128 256)
  set(png ${tarvik_packaging_build}/icons/${size}x${size}/tarvik-slave.png)
  add_custom_command(OUTPUT ${png}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${tarvik_packaging_build}/icons/${size}x${size}
    COMMAND ${TARVIK_RSVG_CONVERT} --width=${size} --height=${size} --output=${png} ${tarvik_icon_svg}
    DEPENDS ${tarvik_icon_svg}
    VERBATIM)
  list(APPEND tarvik_package_files ${png})
  install(FILES ${png} DESTINATION share/icons/hicolor/${size}x${size}/apps)
endforeach()

# The man page carries the version; -n keeps the build's time out of the gzip
# header so the same sources give the same package.
configure_file(${tarvik_packaging_source}/tarvik-slave.1.in
               ${tarvik_packaging_build}/tarvik-slave.1 @ONLY)
add_custom_command(OUTPUT ${tarvik_packaging_build}/tarvik-slave.1.gz
  COMMAND ${TARVIK_GZIP} -9 -n -k -f tarvik-slave.1
  WORKING_DIRECTORY ${tarvik_packaging_build}
  DEPENDS ${tarvik_packaging_build}/tarvik-slave.1
  VERBATIM)
list(APPEND tarvik_package_files ${tarvik_packaging_build}/tarvik-slave.1.gz)

# The Debian changelog of a native package, compressed the same way.
add_custom_command(OUTPUT ${tarvik_packaging_build}/changelog.gz
  COMMAND ${TARVIK_GZIP} -9 -n -c ${tarvik_packaging_source}/debian/changelog
          > ${tarvik_packaging_build}/changelog.gz
  DEPENDS ${tarvik_packaging_source}/debian/changelog)
list(APPEND tarvik_package_files ${tarvik_packaging_build}/changelog.gz)

add_custom_target(tarvik_package_files ALL DEPENDS ${tarvik_package_files})

# Links made once here and installed as links.
file(MAKE_DIRECTORY ${tarvik_packaging_build}/links)
file(CREATE_LINK ${tarvik_conffile} ${tarvik_packaging_build}/links/TarvikSlave.ini SYMBOLIC)
file(CREATE_LINK ../${tarvik_program_dir}/TarvikSlave
     ${tarvik_packaging_build}/links/tarvik-slave SYMBOLIC)

install(TARGETS TarvikSlave RUNTIME DESTINATION ${tarvik_program_dir})
install(FILES ${tarvik_packaging_build}/links/TarvikSlave.ini DESTINATION ${tarvik_program_dir})
install(FILES ${tarvik_packaging_build}/links/tarvik-slave DESTINATION bin)
install(FILES ${PROJECT_SOURCE_DIR}/app/TarvikSlave.ini DESTINATION /etc/tarvik-slave)
install(FILES ${tarvik_packaging_source}/tarvik-slave@.service DESTINATION /lib/systemd/system)
install(FILES ${tarvik_packaging_source}/tarvik-slave.desktop DESTINATION share/applications)
install(FILES ${tarvik_icon_svg} DESTINATION share/icons/hicolor/scalable/apps)
install(FILES ${tarvik_packaging_build}/tarvik-slave.1.gz DESTINATION share/man/man1)
install(FILES ${tarvik_packaging_source}/debian/copyright ${tarvik_packaging_build}/changelog.gz
        DESTINATION share/doc/tarvik-slave)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tarvik-slave)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT ${TARVIK_PACKAGE_MAINTAINER})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Modbus/TCP slave emulator with an operator window or headless")
set(CPACK_PACKAGE_DESCRIPTION
  "Stands in for a Modbus field device while a Modbus master, typically a SCADA
system, is commissioned or tested: the master connects, reads and writes
2048 holding and 2048 input registers and gets the answers a real slave
would give. It serves TCP or UDP on the first port of a list that opens, or
connects out to a master and keeps reconnecting.

The window traces every request and answer with the time, lets the operator
set single register bits, and can hold answers back or delay them. Started
with --headless it runs the same emulator without a display, its trace on
standard output; the systemd template tarvik-slave@.service runs one such
device per settings file in /etc/tarvik-slave/.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# CPack marks no conffile by itself; the maintainer scripts only talk to a
# running systemd and never fail without one.
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
  ${tarvik_packaging_source}/debian/conffiles
  ${tarvik_packaging_source}/debian/postinst
  ${tarvik_packaging_source}/debian/prerm
  ${tarvik_packaging_source}/debian/postrm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

include(CPack)
