# The release packages made with CPack: a zip of the Windows build, and a
# Debian package of the Linux one.
#
# CPack dates every entry SOURCE_DATE_EPOCH when the variable is in its
# environment (and then leaves the time out of gzip headers): it gets the
# build's value (cmake/Release.cmake) from a file that CPack reads first.  The
# zip's dates are local times, so the time zone is UTC's, wherever the build.
file(CONFIGURE OUTPUT ${CMAKE_BINARY_DIR}/generated/CPackProject.cmake CONTENT
"set(ENV{SOURCE_DATE_EPOCH} @ZARNO_SOURCE_DATE_EPOCH@)
set(ENV{TZ} UTC)
" @ONLY)
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_BINARY_DIR}/generated/CPackProject.cmake)
if(WIN32)
  install(TARGETS launcher RUNTIME DESTINATION .)
  install(FILES README.md examples/example.zarnok DESTINATION .)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_FILE_NAME "ZarnoLaunch-${PROJECT_VERSION}-${CMAKE_SYSTEM_NAME}")
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
  include(CPack)
  return()
endif()

# The Debian package, zarnolaunch_<version>_<arch>.deb in the build directory,
# made by the target "deb" (part of the default build of a static launcher):
#
#   /usr/bin/zarnolaunch
#   /usr/share/applications/zarnolaunch.desktop   from resources/zarnolaunch.desktop.in
#   /usr/share/mime/packages/zarnolaunch.xml       resources/zarnolaunch-mime.xml
# (both with their translated names, as the build made them in generated/)
#   /usr/share/icons/hicolor/   the icon: <n>x<n>/apps/zarnolaunch.png, 16 to
#                               256, and scalable/apps/zarnolaunch.svg
#   /usr/share/doc/zarnolaunch/   README.md.gz, copyright, changelog.gz
#   /usr/share/lintian/overrides/zarnolaunch   see below
#
# The documents are compressed as Debian's policy asks (12.3), by gzip -n,
# which leaves the file's name and time out of the header: the same text
# always makes the same bytes.
#
# The desktop entry and the MIME package are the templates that "-install"
# writes per user (they are compiled into the launcher), so the two cannot
# differ.  The package's entry names the launcher by its name on the PATH.
#
# No maintainer scripts: the triggers of shared-mime-info, desktop-file-utils
# and the icon theme cache rebuild the MIME database, the desktop entries'
# MIME cache and the icon cache whenever files land in or leave
# /usr/share/mime/packages, /usr/share/applications and /usr/share/icons.
# A user's own registration ("-install") still comes first for that user, as
# XDG_DATA_HOME is searched before the system folders.
#
# No Depends: the launcher is linked statically.  xdg-utils is what browsers
# and file managers hand links over with; wine runs a Windows build of the
# game; zenity, kdialog or xmessage (x11-utils) shows the launcher's messages
# as dialogs.
#
# lintian (Debian 12's, 2.116.3, even with --pedantic) reports no error.
# statically-linked-binary and embedded-library (libyaml, which reads the
# game managers' records), errors for a usual package, are overridden in
# the package (/usr/share/lintian/overrides/zarnolaunch) with their reason:
# the launcher is static on purpose.  The one warning that stays, which the
# tests let pass and no other:
#   no-manual-page [usr/bin/zarnolaunch]
#     the launcher is started by the desktop, not by people at a shell; its
#     options are in the README installed beside the copyright file.
set(ZARNO_DEB_LINTIAN_WARNINGS no-manual-page)

find_program(ZARNO_DPKG dpkg)
if(NOT ZARNO_DPKG)
  message(STATUS "No dpkg: the Debian package is not made")
  return()
endif()
execute_process(COMMAND ${ZARNO_DPKG} --print-architecture
                OUTPUT_VARIABLE ZARNO_DEB_ARCH OUTPUT_STRIP_TRAILING_WHITESPACE)

set(ZARNO_DEB_MAINTAINER "ZarnoLaunch developers <zarnolaunch@zarnok.net>" CACHE STRING
    "Maintainer of the Debian package: name and e-mail address")

# The package's copy of the desktop entry.
set(ZARNO_DEB_FILES ${CMAKE_BINARY_DIR}/deb)
set(TRY_EXEC zarnolaunch)
set(EXEC zarnolaunch)
configure_file(${CMAKE_BINARY_DIR}/generated/zarnolaunch.desktop.in ${ZARNO_DEB_FILES}/zarnolaunch.desktop
               @ONLY)
# The one exception to Debian's rules, with its reason, where lintian shows it.
file(CONFIGURE OUTPUT ${ZARNO_DEB_FILES}/lintian-overrides CONTENT
"# Linked statically on purpose: loading shared libraries costs more than a
# whole launch, and the package needs no other package.  So libyaml, which
# reads the game managers' records, is linked in too.
zarnolaunch: statically-linked-binary [usr/bin/zarnolaunch]
zarnolaunch: embedded-library libyaml [usr/bin/zarnolaunch]
" @ONLY)
# Debian's changelog, which every package carries; a release adds its entry
# on top.
file(CONFIGURE OUTPUT ${ZARNO_DEB_FILES}/changelog CONTENT
"zarnolaunch (@PROJECT_VERSION@) stable; urgency=medium

  * First Debian package of the Linux launcher.

 -- @ZARNO_DEB_MAINTAINER@  Mon, 07 Dec 2026 00:00:00 +0000
" @ONLY)

install(TARGETS launcher RUNTIME DESTINATION bin)
# Stripped as Debian's own packages are (dh_strip), without the sections
# that only say which compiler made it.
install(CODE "execute_process(COMMAND \"${CMAKE_STRIP}\" --remove-section=.comment
  --remove-section=.note \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/bin/zarnolaunch\")")
install(FILES ${ZARNO_DEB_FILES}/lintian-overrides DESTINATION share/lintian/overrides
        RENAME zarnolaunch)
install(FILES ${ZARNO_DEB_FILES}/zarnolaunch.desktop DESTINATION share/applications)
install(FILES ${CMAKE_BINARY_DIR}/generated/zarnolaunch-mime.xml DESTINATION share/mime/packages
        RENAME zarnolaunch.xml)
set(ZARNO_DEB_ICONS)
foreach(ZARNO_ICON ${ZARNO_ICON_FILES})
  get_filename_component(ZARNO_ICON_DIR ${ZARNO_ICON} DIRECTORY)
  install(FILES resources/hicolor/${ZARNO_ICON} DESTINATION share/icons/hicolor/${ZARNO_ICON_DIR})
  list(APPEND ZARNO_DEB_ICONS ${CMAKE_SOURCE_DIR}/resources/hicolor/${ZARNO_ICON})
endforeach()
install(FILES resources/copyright ${ZARNO_DEB_FILES}/README.md.gz ${ZARNO_DEB_FILES}/changelog.gz
        DESTINATION share/doc/zarnolaunch)

# CPack builds the target "preinstall" before it installs; were that to
# build everything, it would build this package again from within itself.
# The target "deb" depends on what the package holds instead.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME zarnolaunch)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE ${ZARNO_DEB_ARCH})
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${ZARNO_DEB_MAINTAINER}")
# Not "games": that section is for the games themselves, in /usr/games.
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS xdg-utils)
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "wine, zenity | kdialog | x11-utils")
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "launcher that joins Zarnok game servers from links")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "ZarnoLaunch opens Zarnok server link files (.zarnok) and zarnolaunch: links
from web pages and file managers: it reads the server's address, checks it,
and starts the installed game on that server.
.
The package registers the launcher with the desktop for every user. The
game is found through the launcher's registry file; a Windows build of the
game can run under Wine.")
include(CPack)

set(ZARNO_DEB ${CMAKE_BINARY_DIR}/zarnolaunch_${PROJECT_VERSION}_${ZARNO_DEB_ARCH}.deb)
if(ZARNO_STATIC)
  set(ZARNO_DEB_ALL ALL)
endif()
add_custom_command(OUTPUT ${ZARNO_DEB_FILES}/changelog.gz
  COMMAND gzip -9nkf ${ZARNO_DEB_FILES}/changelog
  DEPENDS ${ZARNO_DEB_FILES}/changelog
  VERBATIM)
add_custom_command(OUTPUT ${ZARNO_DEB_FILES}/README.md.gz
  COMMAND ${CMAKE_COMMAND} -E copy ${CMAKE_SOURCE_DIR}/README.md ${ZARNO_DEB_FILES}/README.md
  COMMAND gzip -9nf ${ZARNO_DEB_FILES}/README.md
  DEPENDS ${CMAKE_SOURCE_DIR}/README.md
  VERBATIM)
add_custom_command(OUTPUT ${ZARNO_DEB}
  COMMAND ${CMAKE_CPACK_COMMAND} -G DEB --config ${CMAKE_BINARY_DIR}/CPackConfig.cmake
  WORKING_DIRECTORY ${CMAKE_BINARY_DIR}
  DEPENDS launcher ${ZARNO_DEB_FILES}/changelog.gz ${ZARNO_DEB_FILES}/README.md.gz
          ${ZARNO_DEB_FILES}/zarnolaunch.desktop ${ZARNO_DEB_FILES}/lintian-overrides
          ${CMAKE_SOURCE_DIR}/resources/copyright
          ${CMAKE_BINARY_DIR}/generated/zarnolaunch-mime.xml ${ZARNO_DEB_ICONS}
          ${ZARNO_SOURCE_DATE_FILE}
  COMMENT "Making ${ZARNO_DEB}"
  VERBATIM)
add_custom_target(deb ${ZARNO_DEB_ALL} DEPENDS ${ZARNO_DEB})
