# The Windows setup (NSIS): ZarnoLaunch-<version>-setup.exe beside the
# launcher, a per-user installer with an uninstall entry and a silent mode.
# Its version is project(VERSION), as is the launcher's version information.
find_program(ZARNO_MAKENSIS makensis)
if(NOT ZARNO_MAKENSIS)
  message(WARNING "makensis not found (Debian package nsis): the setup is not built")
  return()
endif()

set(ZARNO_SETUP_SCRIPT ${CMAKE_SOURCE_DIR}/resources/zarnolaunch-setup.nsi)
set(ZARNO_SETUP ${CMAKE_BINARY_DIR}/ZarnoLaunch-${PROJECT_VERSION}-setup.exe)
add_custom_command(
  OUTPUT ${ZARNO_SETUP}
  COMMAND ${ZARNO_MAKENSIS} -V2 -WX
          -DVERSION=${PROJECT_VERSION}
          -DLAUNCHER=$<TARGET_FILE:launcher>
          -DICON=${CMAKE_SOURCE_DIR}/resources/zarnolaunch.ico
          -DOUTFILE=${ZARNO_SETUP}
          ${ZARNO_SETUP_SCRIPT}
  DEPENDS launcher ${ZARNO_SETUP_SCRIPT} ${CMAKE_SOURCE_DIR}/resources/zarnolaunch.ico
  COMMENT "Making the setup ZarnoLaunch-${PROJECT_VERSION}-setup.exe"
  VERBATIM)
# Part of the default build, so that the package target, which builds
# everything first, leaves the setup beside the zip: the two release files.
add_custom_target(setup ALL DEPENDS ${ZARNO_SETUP})
