# The release packages.  Windows: a zip made with CPack, and Scoop's and
# winget's manifests for it and the setup.  Linux: what "cmake --install"
# installs, and made from one such install (the launcher in it stripped
# once), the Debian package, the portable download, the RPM and the Arch
# package, each with its recipe in packaging/; the source release, and the
# AUR's recipe that builds from it.
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
  install(FILES README.md docs/players-windows.md examples/example.zarnok DESTINATION .)
  # The licences, under names that Windows opens with a text editor.
  install(FILES LICENSE DESTINATION . RENAME LICENSE.txt)
  install(FILES THIRD-PARTY-NOTICES DESTINATION . RENAME THIRD-PARTY-NOTICES.txt)
  set(CPACK_GENERATOR ZIP)
  set(ZARNO_ZIP_NAME "ZarnoLaunch-${PROJECT_VERSION}-${CMAKE_SYSTEM_NAME}")
  set(CPACK_PACKAGE_FILE_NAME ${ZARNO_ZIP_NAME})
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
  include(CPack)
  # The manifests name the zip and the setup by their addresses under
  # ZARNO_RELEASE_URL and hold their sums, so they are made once both are
  # there: the target "manifests", after "setup" and "package"
  # (cmake/release.sh), as zarnolaunch.json and winget/ (cmake/Manifests.cmake).
  add_custom_target(manifests
    COMMAND ${CMAKE_COMMAND} -DVERSION=${PROJECT_VERSION} -DEPOCH=${ZARNO_SOURCE_DATE_EPOCH}
            -DRELEASE_URL=${ZARNO_RELEASE_URL} -DHOMEPAGE=${ZARNO_HOMEPAGE}
            -DZIP=${CMAKE_BINARY_DIR}/${ZARNO_ZIP_NAME}.zip
            -DSETUP=${CMAKE_BINARY_DIR}/ZarnoLaunch-${PROJECT_VERSION}-setup.exe
            -DRECIPES=${CMAKE_SOURCE_DIR}/packaging -DOUT=${CMAKE_BINARY_DIR}
            -P ${CMAKE_SOURCE_DIR}/cmake/Manifests.cmake
    COMMENT "Making the Scoop and winget manifests"
    VERBATIM)
  return()
endif()

# --- what "cmake --install" installs ---------------------------------------------
#
# Under the prefix (GNUInstallDirs; DESTDIR as usual):
#
#   bin/zarnolaunch
#   share/applications/zarnolaunch.desktop   the desktop entry that "-install"
#                                           writes, naming the launcher by
#                                           its name on the PATH
#   share/mime/packages/zarnolaunch.xml      the MIME package
#   share/icons/hicolor/<n>x<n>/apps/zarnolaunch.png, 16 to 256, and
#   share/icons/hicolor/scalable/apps/zarnolaunch.svg
#   share/doc/zarnolaunch/README.md, players-linux.md
#   share/licenses/zarnolaunch/              LICENSE and THIRD-PARTY-NOTICES
#
# Every Linux package holds these files, at these paths under /usr, each
# format's own extras aside (Debian's changelog, copyright file and lintian
# overrides in place of the licence folder).
include(GNUInstallDirs)
if(CMAKE_INSTALL_DOCDIR STREQUAL "${CMAKE_INSTALL_DATAROOTDIR}/doc/${PROJECT_NAME}")
  set(CMAKE_INSTALL_DOCDIR ${CMAKE_INSTALL_DATAROOTDIR}/doc/zarnolaunch)
endif()
# Folders are made 0755 whatever the umask of whoever installs.
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(TRY_EXEC zarnolaunch)
set(EXEC zarnolaunch)
configure_file(${CMAKE_BINARY_DIR}/generated/zarnolaunch.desktop.in ${CMAKE_BINARY_DIR}/generated/zarnolaunch.desktop
               @ONLY)
install(TARGETS launcher RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${CMAKE_BINARY_DIR}/generated/zarnolaunch.desktop
        DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/applications)
install(FILES ${CMAKE_BINARY_DIR}/generated/zarnolaunch-mime.xml
        DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/mime/packages RENAME zarnolaunch.xml)
foreach(ZARNO_ICON ${ZARNO_ICON_FILES})
  get_filename_component(ZARNO_ICON_DIR ${ZARNO_ICON} DIRECTORY)
  install(FILES resources/hicolor/${ZARNO_ICON} DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/icons/hicolor/${ZARNO_ICON_DIR})
endforeach()
install(FILES README.md docs/players-linux.md DESTINATION ${CMAKE_INSTALL_DOCDIR})
install(FILES LICENSE THIRD-PARTY-NOTICES DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/licenses/zarnolaunch)

find_program(ZARNO_DPKG dpkg)
if(NOT ZARNO_DPKG)
  message(STATUS "No dpkg: the Linux packages are not made")
  return()
endif()
execute_process(COMMAND ${ZARNO_DPKG} --print-architecture
                OUTPUT_VARIABLE ZARNO_DEB_ARCH OUTPUT_STRIP_TRAILING_WHITESPACE)
# Made as a part of every build of a static launcher, which the tests check.
if(ZARNO_STATIC)
  set(ZARNO_PACKAGES_ALL ALL)
endif()

# --- the one install the packages are made from ----------------------------------
#
# ZARNO_STAGE/root: "cmake --install" with the prefix /usr, its launcher
# stripped as distributions strip theirs and without the sections that only
# say which compiler made it.  Each format's recipe takes its files from
# there, so that no two recipes list them.
#
# Each made file is made by one target only, which the others wait for:
# make would otherwise run its command once for each target at the same
# time.  They depend on what it is made of instead (ZARNO_STAGED).
set(ZARNO_STAGE ${CMAKE_BINARY_DIR}/packaging)
set(ZARNO_ROOT ${ZARNO_STAGE}/root)
set(ZARNO_INSTALLED
    ${CMAKE_BINARY_DIR}/generated/zarnolaunch.desktop ${CMAKE_BINARY_DIR}/generated/zarnolaunch-mime.xml
    ${CMAKE_SOURCE_DIR}/README.md ${CMAKE_SOURCE_DIR}/docs/players-linux.md ${CMAKE_SOURCE_DIR}/LICENSE
    ${CMAKE_SOURCE_DIR}/THIRD-PARTY-NOTICES)
foreach(ZARNO_ICON ${ZARNO_ICON_FILES})
  list(APPEND ZARNO_INSTALLED ${CMAKE_SOURCE_DIR}/resources/hicolor/${ZARNO_ICON})
endforeach()
add_custom_command(OUTPUT ${ZARNO_STAGE}/root.stamp
  COMMAND ${CMAKE_COMMAND} -E rm -rf ${ZARNO_ROOT}
  COMMAND ${CMAKE_COMMAND} -E env DESTDIR=${ZARNO_ROOT}
          ${CMAKE_COMMAND} --install ${CMAKE_BINARY_DIR} --prefix /usr
  COMMAND ${CMAKE_STRIP} --remove-section=.comment --remove-section=.note ${ZARNO_ROOT}/usr/bin/zarnolaunch
  COMMAND ${CMAKE_COMMAND} -E touch ${ZARNO_STAGE}/root.stamp
  DEPENDS launcher ${ZARNO_INSTALLED}
  COMMENT "Installing into ${ZARNO_ROOT}"
  VERBATIM)
add_custom_target(staged DEPENDS ${ZARNO_STAGE}/root.stamp)
set(ZARNO_STAGED ${ZARNO_STAGE}/root.stamp ${ZARNO_SOURCE_DATE_FILE} ${CMAKE_SOURCE_DIR}/cmake/linux-package.sh)
# Whoever makes the packages: Debian's Maintainer, RPM's and Arch's Packager.
set(ZARNO_PACKAGER "ZarnoLaunch developers <zarnolaunch@zarnok.net>" CACHE STRING
    "Maintainer of the Linux packages: name and e-mail address")
set(ZARNO_LINUX_PACKAGE bash ${CMAKE_SOURCE_DIR}/cmake/linux-package.sh)

# The texts each format makes of LICENSE, THIRD-PARTY-NOTICES and
# CHANGELOG.md (cmake/package_texts.py): the licences of what the launcher
# holds as one SPDX expression, Debian's copyright file, and the changelogs.
set(ZARNO_TEXTS ${Python3_EXECUTABLE} ${CMAKE_SOURCE_DIR}/cmake/package_texts.py)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/cmake/package_texts.py
             ${CMAKE_SOURCE_DIR}/LICENSE ${CMAKE_SOURCE_DIR}/THIRD-PARTY-NOTICES ${CMAKE_SOURCE_DIR}/CHANGELOG.md)
set(ZARNO_DEB_FILES ${CMAKE_BINARY_DIR}/deb)
file(MAKE_DIRECTORY ${ZARNO_DEB_FILES})
execute_process(
  COMMAND ${ZARNO_TEXTS} spdx ${CMAKE_SOURCE_DIR}/THIRD-PARTY-NOTICES zarnolaunch
  OUTPUT_VARIABLE ZARNO_LINUX_LICENSE OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
execute_process(
  COMMAND ${ZARNO_TEXTS} copyright ${CMAKE_SOURCE_DIR}/LICENSE ${CMAKE_SOURCE_DIR}/THIRD-PARTY-NOTICES
          ${ZARNO_DEB_FILES}/copyright
  COMMAND_ERROR_IS_FATAL ANY)
foreach(ZARNO_FORMAT deb rpm)
  execute_process(
    COMMAND ${ZARNO_TEXTS} changelog ${ZARNO_FORMAT} ${CMAKE_SOURCE_DIR}/CHANGELOG.md ${PROJECT_VERSION}
            ${ZARNO_PACKAGER} ${ZARNO_DEB_FILES}/changelog.${ZARNO_FORMAT}
    COMMAND_ERROR_IS_FATAL ANY)
endforeach()
file(READ ${ZARNO_DEB_FILES}/changelog.rpm ZARNO_RPM_CHANGELOG)
# Arch's license array: one element a licence of the expression.
string(REPLACE " AND " "' '" ZARNO_ARCH_LICENSE "'${ZARNO_LINUX_LICENSE}'")

# --- the Debian package: zarnolaunch_<version>_<arch>.deb, target "deb" --------
#
# Its fields and lintian's verdict are in packaging/deb-control.in.
configure_file(packaging/deb-control.in ${ZARNO_DEB_FILES}/control @ONLY)
set(ZARNO_DEB ${CMAKE_BINARY_DIR}/zarnolaunch_${PROJECT_VERSION}_${ZARNO_DEB_ARCH}.deb)
add_custom_command(OUTPUT ${ZARNO_DEB}
  COMMAND ${ZARNO_LINUX_PACKAGE} deb ${ZARNO_STAGE} ${ZARNO_DEB_FILES}
          ${CMAKE_SOURCE_DIR}/packaging/lintian-overrides ${ZARNO_SOURCE_DATE_EPOCH} ${ZARNO_DEB}
  DEPENDS ${ZARNO_STAGED} ${ZARNO_DEB_FILES}/control ${ZARNO_DEB_FILES}/copyright
          ${ZARNO_DEB_FILES}/changelog.deb ${CMAKE_SOURCE_DIR}/packaging/lintian-overrides
  COMMENT "Making ${ZARNO_DEB}"
  VERBATIM)
add_custom_target(deb ${ZARNO_PACKAGES_ALL} DEPENDS ${ZARNO_DEB})
add_dependencies(deb staged)

# --- the portable download: zarnolaunch-<version>-linux-x86_64.tar.gz ----------
#
# One folder, zarnolaunch-<version>/, with the launcher, a player's README,
# the licence and the notices, for systems whose /usr is not the player's (a
# Steam Deck, Bazzite): "-install" registers it where it was unpacked, or,
# from a temporary or download folder, a copy of it in ~/.local/bin.
# Target "tarball".
# Its README is the player's (packaging/portable-README.md.in), not the
# project's.
configure_file(packaging/portable-README.md.in ${ZARNO_STAGE}/portable/README.md @ONLY)
set(ZARNO_TARBALL_NAME zarnolaunch-${PROJECT_VERSION}-linux-${CMAKE_SYSTEM_PROCESSOR}.tar.gz)
set(ZARNO_TARBALL ${CMAKE_BINARY_DIR}/${ZARNO_TARBALL_NAME})
add_custom_command(OUTPUT ${ZARNO_TARBALL}
  COMMAND ${ZARNO_LINUX_PACKAGE} tarball ${ZARNO_STAGE} ${PROJECT_VERSION} ${ZARNO_SOURCE_DATE_EPOCH}
          ${ZARNO_TARBALL}
  DEPENDS ${ZARNO_STAGED} ${ZARNO_STAGE}/portable/README.md
  COMMENT "Making ${ZARNO_TARBALL_NAME}"
  VERBATIM)
add_custom_target(tarball ${ZARNO_PACKAGES_ALL} DEPENDS ${ZARNO_TARBALL})
add_dependencies(tarball staged)

# --- the source release: zarnolaunch-<version>.tar.gz, target "source" ----------
#
# The committed tree of the checked-out commit, as git archive makes it
# (dated by the commit), in one folder zarnolaunch-<version>/: what
# distributions build from.  Made only from a git checkout.
set(ZARNO_SOURCE_RELEASE ${CMAKE_BINARY_DIR}/zarnolaunch-${PROJECT_VERSION}.tar.gz)
set(ZARNO_COMMITTED ${ZARNO_SOURCE_DATE_FILE} ${CMAKE_SOURCE_DIR}/cmake/linux-package.sh)
if(ZARNO_GIT_HEAD_LOG AND EXISTS "${ZARNO_GIT_HEAD_LOG}")
  list(APPEND ZARNO_COMMITTED ${ZARNO_GIT_HEAD_LOG})  # a new commit
endif()
add_custom_command(OUTPUT ${ZARNO_SOURCE_RELEASE}
  COMMAND ${ZARNO_LINUX_PACKAGE} source ${CMAKE_SOURCE_DIR} ${PROJECT_VERSION} ${ZARNO_SOURCE_RELEASE}
  DEPENDS ${ZARNO_COMMITTED}
  COMMENT "Making zarnolaunch-${PROJECT_VERSION}.tar.gz"
  VERBATIM)
add_custom_target(source ${ZARNO_PACKAGES_ALL} DEPENDS ${ZARNO_SOURCE_RELEASE})

# --- the RPM: zarnolaunch-<version>-1.x86_64.rpm, target "rpm" ------------------
#
# rpmbuild (Debian package rpm) from packaging/zarnolaunch.spec.in, where
# rpmlint's verdict is too.
find_program(ZARNO_RPMBUILD rpmbuild)
find_program(ZARNO_MAKEPKG makepkg)
if(NOT ZARNO_RPMBUILD OR NOT ZARNO_MAKEPKG)
  message(STATUS "No rpmbuild or makepkg (Debian packages rpm, makepkg): the RPM and the Arch packages "
                 "are not made")
  return()
endif()
set(ZARNO_SPEC ${ZARNO_STAGE}/zarnolaunch.spec)
configure_file(packaging/zarnolaunch.spec.in ${ZARNO_SPEC} @ONLY)
set(ZARNO_RPM ${CMAKE_BINARY_DIR}/zarnolaunch-${PROJECT_VERSION}-1.${CMAKE_SYSTEM_PROCESSOR}.rpm)
add_custom_command(OUTPUT ${ZARNO_RPM}
  COMMAND ${ZARNO_LINUX_PACKAGE} rpm ${ZARNO_STAGE} ${ZARNO_SPEC} ${ZARNO_SOURCE_DATE_EPOCH} ${ZARNO_RPM}
  DEPENDS ${ZARNO_STAGED} ${ZARNO_SPEC}
  COMMENT "Making ${ZARNO_RPM}"
  VERBATIM)
add_custom_target(rpm ${ZARNO_PACKAGES_ALL} DEPENDS ${ZARNO_RPM})
add_dependencies(rpm staged)

# --- the Arch package: zarnolaunch-<version>-1-x86_64.pkg.tar.zst, target "arch"
#
# makepkg (Debian packages makepkg, pacman-package-manager) from
# packaging/PKGBUILD.in, with the settings of packaging/makepkg.conf.
set(ZARNO_ARCH_RECIPE ${ZARNO_STAGE}/arch)
configure_file(packaging/PKGBUILD.in ${ZARNO_ARCH_RECIPE}/PKGBUILD @ONLY)
configure_file(packaging/makepkg.conf ${ZARNO_STAGE}/makepkg.conf @ONLY)
set(ZARNO_ARCH_PACKAGE
    ${CMAKE_BINARY_DIR}/zarnolaunch-${PROJECT_VERSION}-1-${CMAKE_SYSTEM_PROCESSOR}.pkg.tar.zst)
add_custom_command(OUTPUT ${ZARNO_ARCH_PACKAGE}
  COMMAND ${ZARNO_LINUX_PACKAGE} arch ${ZARNO_ARCH_RECIPE} ${ZARNO_STAGE}/makepkg.conf
          ${ZARNO_SOURCE_DATE_EPOCH} ${ZARNO_ARCH_PACKAGE} ${ZARNO_ROOT}
  DEPENDS ${ZARNO_STAGED} ${ZARNO_ARCH_RECIPE}/PKGBUILD ${ZARNO_STAGE}/makepkg.conf
  COMMENT "Making ${ZARNO_ARCH_PACKAGE}"
  VERBATIM)
add_custom_target(arch ${ZARNO_PACKAGES_ALL} DEPENDS ${ZARNO_ARCH_PACKAGE})
add_dependencies(arch staged)

# --- the AUR's recipe: aur/PKGBUILD and aur/.SRCINFO, target "aur" ---------------
#
# packaging/aur/PKGBUILD.in builds the launcher from the source release
# (its sum filled in here) and installs it with "cmake --install"; makepkg
# itself writes its .SRCINFO.
set(ZARNO_AUR ${CMAKE_BINARY_DIR}/aur)
set(ZARNO_SOURCE_SHA256 "@ZARNO_SOURCE_SHA256@")  # filled in once the source release is made
configure_file(packaging/aur/PKGBUILD.in ${ZARNO_STAGE}/aur/PKGBUILD.in @ONLY)
add_custom_command(OUTPUT ${ZARNO_AUR}/PKGBUILD ${ZARNO_AUR}/.SRCINFO
  COMMAND ${ZARNO_LINUX_PACKAGE} aur ${ZARNO_STAGE}/aur/PKGBUILD.in ${ZARNO_STAGE}/makepkg.conf
          ${ZARNO_SOURCE_RELEASE} ${ZARNO_AUR}
  DEPENDS ${ZARNO_SOURCE_RELEASE} ${ZARNO_STAGE}/aur/PKGBUILD.in ${ZARNO_STAGE}/makepkg.conf
          ${CMAKE_SOURCE_DIR}/cmake/linux-package.sh
  COMMENT "Making the AUR's PKGBUILD and .SRCINFO"
  VERBATIM)
add_custom_target(aur ${ZARNO_PACKAGES_ALL} DEPENDS ${ZARNO_AUR}/PKGBUILD)
add_dependencies(aur source)
