# The release packages.  Windows: a zip made with CPack, and Scoop's and
# winget's manifests for it and the setup.  Linux: the Debian package (CPack),
# the portable download, the RPM and the Arch package, each from its recipe
# in packaging/ and all holding the same files: one launcher, stripped once.
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

# --- what every format holds ---------------------------------------------------
#
# In ZARNO_STAGE, under the names the recipes give them: the launcher,
# stripped as distributions strip theirs and without the sections that
# only say which compiler made it; the package's desktop entry, which is
# the template that "-install" writes (the two cannot differ) naming the
# launcher by its name on the PATH; the MIME package, the icons, the README
# and the copyright file.
#
# Each made file is made by one target only, which the others wait for:
# make would otherwise run its command once for each target at the same
# time.  They depend on what it is made of instead (ZARNO_STAGED).
set(ZARNO_STAGE ${CMAKE_BINARY_DIR}/packaging)
set(ZARNO_STAGED launcher)
add_custom_command(OUTPUT ${ZARNO_STAGE}/zarnolaunch
  COMMAND ${CMAKE_STRIP} --remove-section=.comment --remove-section=.note
          -o ${ZARNO_STAGE}/zarnolaunch $<TARGET_FILE:launcher>
  DEPENDS launcher
  VERBATIM)
add_custom_target(stripped DEPENDS ${ZARNO_STAGE}/zarnolaunch)
set(TRY_EXEC zarnolaunch)
set(EXEC zarnolaunch)
configure_file(${CMAKE_BINARY_DIR}/generated/zarnolaunch.desktop.in ${ZARNO_STAGE}/zarnolaunch.desktop @ONLY)
configure_file(${CMAKE_BINARY_DIR}/generated/zarnolaunch-mime.xml ${ZARNO_STAGE}/zarnolaunch.xml COPYONLY)
configure_file(resources/copyright ${ZARNO_STAGE}/copyright COPYONLY)
configure_file(README.md ${ZARNO_STAGE}/README.md COPYONLY)
foreach(ZARNO_ICON ${ZARNO_ICON_FILES})
  if(ZARNO_ICON MATCHES "^([0-9]+)x")
    set(ZARNO_ICON_NAME zarnolaunch-${CMAKE_MATCH_1}.png)
  else()
    get_filename_component(ZARNO_ICON_NAME ${ZARNO_ICON} NAME)
  endif()
  configure_file(resources/hicolor/${ZARNO_ICON} ${ZARNO_STAGE}/${ZARNO_ICON_NAME} COPYONLY)
  list(APPEND ZARNO_STAGED ${ZARNO_STAGE}/${ZARNO_ICON_NAME})
endforeach()
list(APPEND ZARNO_STAGED ${ZARNO_STAGE}/zarnolaunch.desktop ${ZARNO_STAGE}/zarnolaunch.xml
     ${ZARNO_STAGE}/copyright ${ZARNO_STAGE}/README.md ${ZARNO_SOURCE_DATE_FILE})
# Whoever makes the packages: Debian's Maintainer, RPM's and Arch's Packager.
set(ZARNO_PACKAGER "ZarnoLaunch developers <zarnolaunch@zarnok.net>" CACHE STRING
    "Maintainer of the Linux packages: name and e-mail address")
set(ZARNO_LINUX_PACKAGE bash ${CMAKE_SOURCE_DIR}/cmake/linux-package.sh)

# --- the Debian package: zarnolaunch_<version>_<arch>.deb, target "deb" --------
#
# Its fields and lintian's verdict are in packaging/deb.cmake.
set(ZARNO_DEB_FILES ${CMAKE_BINARY_DIR}/deb)
configure_file(packaging/deb-changelog.in ${ZARNO_DEB_FILES}/changelog @ONLY)
install(PROGRAMS ${ZARNO_STAGE}/zarnolaunch DESTINATION bin)
install(FILES packaging/lintian-overrides DESTINATION share/lintian/overrides RENAME zarnolaunch)
install(FILES ${ZARNO_STAGE}/zarnolaunch.desktop DESTINATION share/applications)
install(FILES ${ZARNO_STAGE}/zarnolaunch.xml DESTINATION share/mime/packages)
foreach(ZARNO_ICON ${ZARNO_ICON_FILES})
  get_filename_component(ZARNO_ICON_DIR ${ZARNO_ICON} DIRECTORY)
  install(FILES resources/hicolor/${ZARNO_ICON} DESTINATION share/icons/hicolor/${ZARNO_ICON_DIR})
endforeach()
install(FILES resources/copyright ${ZARNO_DEB_FILES}/README.md.gz ${ZARNO_DEB_FILES}/changelog.gz
        DESTINATION share/doc/zarnolaunch)

# CPack builds the target "preinstall" before it installs; were that to
# build everything, it would build this package again from within itself.
# The target "deb" depends on what the package holds instead.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)
include(packaging/deb.cmake)
include(CPack)

set(ZARNO_DEB ${CMAKE_BINARY_DIR}/zarnolaunch_${PROJECT_VERSION}_${ZARNO_DEB_ARCH}.deb)
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
  DEPENDS ${ZARNO_STAGED} ${ZARNO_DEB_FILES}/changelog.gz ${ZARNO_DEB_FILES}/README.md.gz
          ${CMAKE_SOURCE_DIR}/packaging/lintian-overrides
  COMMENT "Making ${ZARNO_DEB}"
  VERBATIM)
add_custom_target(deb ${ZARNO_PACKAGES_ALL} DEPENDS ${ZARNO_DEB})
add_dependencies(deb stripped)

# --- the portable download: zarnolaunch-<version>-linux-x86_64.tar.gz ----------
#
# One folder, zarnolaunch-<version>/, with the launcher, the README and the
# copyright file, for systems whose /usr is not the player's (a Steam Deck,
# Bazzite): unpacked where it will stay, it registers itself with
# "-install".  Target "tarball"; the RPM and the Arch package take it as
# their source.
set(ZARNO_TARBALL_NAME zarnolaunch-${PROJECT_VERSION}-linux-${CMAKE_SYSTEM_PROCESSOR}.tar.gz)
set(ZARNO_TARBALL ${CMAKE_BINARY_DIR}/${ZARNO_TARBALL_NAME})
add_custom_command(OUTPUT ${ZARNO_TARBALL}
  COMMAND ${ZARNO_LINUX_PACKAGE} tarball ${ZARNO_STAGE} ${PROJECT_VERSION} ${ZARNO_SOURCE_DATE_EPOCH}
          ${ZARNO_TARBALL}
  COMMAND ${CMAKE_COMMAND} -E copy ${ZARNO_TARBALL} ${ZARNO_STAGE}/${ZARNO_TARBALL_NAME}
  DEPENDS ${ZARNO_STAGED} ${CMAKE_SOURCE_DIR}/cmake/linux-package.sh
  COMMENT "Making ${ZARNO_TARBALL_NAME}"
  VERBATIM)
add_custom_target(tarball ${ZARNO_PACKAGES_ALL} DEPENDS ${ZARNO_TARBALL})
add_dependencies(tarball stripped)

# --- the RPM: zarnolaunch-<version>-1.x86_64.rpm, target "rpm" ------------------
#
# rpmbuild (Debian package rpm) from packaging/zarnolaunch.spec.in, where
# rpmlint's verdict is too.
find_program(ZARNO_RPMBUILD rpmbuild)
find_program(ZARNO_MAKEPKG makepkg)
if(NOT ZARNO_RPMBUILD OR NOT ZARNO_MAKEPKG)
  message(STATUS "No rpmbuild or makepkg (Debian packages rpm, makepkg): the RPM and the Arch package "
                 "are not made")
  return()
endif()
set(ZARNO_SPEC ${ZARNO_STAGE}/zarnolaunch.spec)
configure_file(packaging/zarnolaunch.spec.in ${ZARNO_SPEC} @ONLY)
set(ZARNO_RPM ${CMAKE_BINARY_DIR}/zarnolaunch-${PROJECT_VERSION}-1.${CMAKE_SYSTEM_PROCESSOR}.rpm)
add_custom_command(OUTPUT ${ZARNO_RPM}
  COMMAND ${ZARNO_LINUX_PACKAGE} rpm ${ZARNO_STAGE} ${ZARNO_SPEC} ${ZARNO_SOURCE_DATE_EPOCH} ${ZARNO_RPM}
  DEPENDS ${ZARNO_STAGED} ${ZARNO_SPEC} ${CMAKE_SOURCE_DIR}/cmake/linux-package.sh
  COMMENT "Making ${ZARNO_RPM}"
  VERBATIM)
add_custom_target(rpm ${ZARNO_PACKAGES_ALL} DEPENDS ${ZARNO_RPM})
add_dependencies(rpm tarball)

# --- the Arch package: zarnolaunch-<version>-1-x86_64.pkg.tar.zst, target "arch"
#
# makepkg (Debian packages makepkg, pacman-package-manager) from
# packaging/PKGBUILD.in, with the settings of packaging/makepkg.conf.
configure_file(packaging/PKGBUILD.in ${ZARNO_STAGE}/PKGBUILD @ONLY)
configure_file(packaging/makepkg.conf ${ZARNO_STAGE}/makepkg.conf @ONLY)
set(ZARNO_ARCH_PACKAGE
    ${CMAKE_BINARY_DIR}/zarnolaunch-${PROJECT_VERSION}-1-${CMAKE_SYSTEM_PROCESSOR}.pkg.tar.zst)
add_custom_command(OUTPUT ${ZARNO_ARCH_PACKAGE}
  COMMAND ${ZARNO_LINUX_PACKAGE} arch ${ZARNO_STAGE} ${ZARNO_STAGE}/PKGBUILD ${ZARNO_STAGE}/makepkg.conf
          ${ZARNO_SOURCE_DATE_EPOCH} ${ZARNO_ARCH_PACKAGE}
  DEPENDS ${ZARNO_STAGED} ${ZARNO_STAGE}/PKGBUILD ${ZARNO_STAGE}/makepkg.conf
          ${CMAKE_SOURCE_DIR}/cmake/linux-package.sh
  COMMENT "Making ${ZARNO_ARCH_PACKAGE}"
  VERBATIM)
add_custom_target(arch ${ZARNO_PACKAGES_ALL} DEPENDS ${ZARNO_ARCH_PACKAGE})
add_dependencies(arch tarball)
