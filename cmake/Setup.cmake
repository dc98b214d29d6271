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
# The setup keeps each file's time: it gets copies of the launcher and of the
# pages' picture dated SOURCE_DATE_EPOCH, so that one commit makes one setup
# (cmake/Release.cmake).
# When the build signs, makensis signs the setup and its uninstaller too.
set(ZARNO_SETUP_LAUNCHER ${CMAKE_BINARY_DIR}/generated/setup/ZarnoLaunch.exe)
set(ZARNO_SETUP_PICTURE ${CMAKE_BINARY_DIR}/generated/setup/zarnolaunch-setup.bmp)
set(ZARNO_SETUP_LICENSE ${CMAKE_BINARY_DIR}/generated/setup/LICENSE)
set(ZARNO_SETUP_NOTICES ${CMAKE_BINARY_DIR}/generated/setup/THIRD-PARTY-NOTICES)
if(ZARNO_SIGN_LINE)
  set(ZARNO_SETUP_SIGN "-DZARNO_SIGN=${ZARNO_SIGN_LINE}")
endif()
# The setup's own texts and Modern UI's pages in each language of
# resources/po.
set(ZARNO_SETUP_TRANSLATIONS ${CMAKE_BINARY_DIR}/generated/setup/translations.nsh)
add_custom_command(
  OUTPUT ${ZARNO_SETUP_TRANSLATIONS}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/generated/setup
  COMMAND ${Python3_EXECUTABLE} ${CMAKE_SOURCE_DIR}/cmake/translations.py nsis ${ZARNO_SETUP_SCRIPT}
          ${ZARNO_SETUP_TRANSLATIONS} ${ZARNO_PO_FILES}
  DEPENDS ${CMAKE_SOURCE_DIR}/cmake/translations.py ${ZARNO_SETUP_SCRIPT} ${ZARNO_PO_FILES}
  COMMENT "Making the setup's translations"
  VERBATIM)
add_custom_command(
  OUTPUT ${ZARNO_SETUP}
  COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:launcher> ${ZARNO_SETUP_LAUNCHER}
  COMMAND ${CMAKE_COMMAND} -E copy ${CMAKE_SOURCE_DIR}/resources/zarnolaunch-setup.bmp ${ZARNO_SETUP_PICTURE}
  COMMAND ${CMAKE_COMMAND} -E copy ${CMAKE_SOURCE_DIR}/LICENSE ${CMAKE_SOURCE_DIR}/THIRD-PARTY-NOTICES
          ${CMAKE_BINARY_DIR}/generated/setup
  COMMAND touch -d @${ZARNO_SOURCE_DATE_EPOCH} ${ZARNO_SETUP_LAUNCHER} ${ZARNO_SETUP_PICTURE}
          ${ZARNO_SETUP_LICENSE} ${ZARNO_SETUP_NOTICES}
  COMMAND ${ZARNO_MAKENSIS} -V2 -WX
          -DVERSION=${PROJECT_VERSION}
          -DLAUNCHER=${ZARNO_SETUP_LAUNCHER}
          -DLICENSE=${ZARNO_SETUP_LICENSE}
          -DNOTICES=${ZARNO_SETUP_NOTICES}
          -DICON=${CMAKE_SOURCE_DIR}/resources/zarnolaunch.ico
          -DPICTURE=${ZARNO_SETUP_PICTURE}
          -DOUTFILE=${ZARNO_SETUP}
          -DTRANSLATIONS=${ZARNO_SETUP_TRANSLATIONS}
          ${ZARNO_SETUP_SIGN}
          ${ZARNO_SETUP_SCRIPT}
  DEPENDS launcher ${ZARNO_SETUP_SCRIPT} ${CMAKE_SOURCE_DIR}/resources/zarnolaunch.ico
          ${CMAKE_SOURCE_DIR}/LICENSE ${CMAKE_SOURCE_DIR}/THIRD-PARTY-NOTICES
          ${CMAKE_SOURCE_DIR}/resources/zarnolaunch-setup.bmp
          ${ZARNO_SETUP_TRANSLATIONS}
          ${ZARNO_SOURCE_DATE_FILE}
  COMMENT "Making the setup ZarnoLaunch-${PROJECT_VERSION}-setup.exe"
  VERBATIM)
# Part of the default build, so that the package target, which builds
# everything first, leaves the setup beside the zip: the two release files.
add_custom_target(setup ALL DEPENDS ${ZARNO_SETUP})
