# Releases that can be checked: one commit builds the same bytes in any
# folder, at any time, and the Windows files can carry a signature.
# Included by CMakeLists.txt before the first target.
#
# --- the same bytes from the same commit ------------------------------------
#
# The release files are ZarnoLaunch.exe, the setup, the zip, the Scoop and
# winget manifests, the .deb, the RPM, the Arch package and the portable
# tarball (cmake/release.sh makes them all, with SHA256SUMS).  What a build
# would otherwise put into them of its own:
#
# - the time: every date stored is SOURCE_DATE_EPOCH, the commit's time by
#   default (the environment variable, when set, wins).  The zip's and the
#   .deb's entries take it from CPack (cmake/Package.cmake hands it over),
#   the setup's copy of the launcher from a copy dated so (cmake/Setup.cmake);
#   the other Linux packages and the manifests are handed it
#   (cmake/Package.cmake, cmake/linux-package.sh);
#   ZarnoLaunch.exe stores no time at all (its PE header's is 0, which
#   Windows does not read);
# - the folders: the source and build folders are cut from every path the
#   compiler records (__FILE__, debug information), and makepkg runs where
#   its folder is always the same (cmake/linux-package.sh);
# - the time zone, the order of files and the compressors' headers are
#   fixed where they are made (cmake/Package.cmake).

if(DEFINED ENV{SOURCE_DATE_EPOCH})
  set(ZARNO_SOURCE_DATE_EPOCH "$ENV{SOURCE_DATE_EPOCH}")
else()
  execute_process(COMMAND git -C ${CMAKE_SOURCE_DIR} log -1 --format=%ct
                  OUTPUT_VARIABLE ZARNO_SOURCE_DATE_EPOCH
                  OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
  # A new commit (or a checkout) changes the time: configure again then.
  execute_process(COMMAND git -C ${CMAKE_SOURCE_DIR} rev-parse --path-format=absolute
                          --git-path logs/HEAD
                  OUTPUT_VARIABLE ZARNO_GIT_HEAD_LOG
                  OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
  if(ZARNO_GIT_HEAD_LOG AND EXISTS "${ZARNO_GIT_HEAD_LOG}")
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${ZARNO_GIT_HEAD_LOG})
  endif()
  if(NOT ZARNO_SOURCE_DATE_EPOCH)
    # A copy of the source without git's history: the time of its top file,
    # which an archive of the source keeps.
    file(TIMESTAMP ${CMAKE_SOURCE_DIR}/CMakeLists.txt ZARNO_SOURCE_DATE_EPOCH "%s" UTC)
  endif()
endif()
if(NOT ZARNO_SOURCE_DATE_EPOCH MATCHES "^[0-9]+$")
  message(FATAL_ERROR "SOURCE_DATE_EPOCH is \"${ZARNO_SOURCE_DATE_EPOCH}\", not seconds since 1970")
endif()
# What depends on the time depends on this file, which changes only with it.
set(ZARNO_SOURCE_DATE_FILE ${CMAKE_BINARY_DIR}/generated/source-date-epoch)
file(CONFIGURE OUTPUT ${ZARNO_SOURCE_DATE_FILE} CONTENT "${ZARNO_SOURCE_DATE_EPOCH}\n")

# The build folder is often inside the source folder: GCC takes the last
# option that matches, so the build folder's comes last.  Debug builds keep
# full paths, for the debugger to find the sources.
add_compile_options($<$<NOT:$<CONFIG:Debug>>:-ffile-prefix-map=${CMAKE_SOURCE_DIR}/=>
                    $<$<NOT:$<CONFIG:Debug>>:-ffile-prefix-map=${CMAKE_BINARY_DIR}/=build/>)
if(WIN32)
  add_link_options(-Wl,--no-insert-timestamp)
endif()

# --- signatures ---------------------------------------------------------------
#
# Given a certificate, the build signs ZarnoLaunch.exe, the setup and the
# setup's uninstaller (Authenticode, SHA-256) with osslsigncode, through
# cmake/sign.sh.  Each setting is a cache variable whose first value comes
# from the environment variable of the same name, so a release script can
# hand them over without writing them on a command line:
#
#   ZARNO_SIGN_PKCS12          the PKCS#12 file with the certificate and key
#   ZARNO_SIGN_PASSWORD_FILE   a file holding its password
#   ZARNO_SIGN_TIMESTAMP_URL   an RFC 3161 time-stamping server (optional;
#                              without one, signatures expire with the
#                              certificate)
#
# Without ZARNO_SIGN_PKCS12 nothing is signed.  A signature is the signer's
# own: a signed file is not the same bytes as another build's.
set(ZARNO_SIGN_PKCS12 "$ENV{ZARNO_SIGN_PKCS12}" CACHE FILEPATH
    "PKCS#12 file that signs the Windows files; empty: unsigned")
set(ZARNO_SIGN_PASSWORD_FILE "$ENV{ZARNO_SIGN_PASSWORD_FILE}" CACHE FILEPATH
    "File holding the password of ZARNO_SIGN_PKCS12")
set(ZARNO_SIGN_TIMESTAMP_URL "$ENV{ZARNO_SIGN_TIMESTAMP_URL}" CACHE STRING
    "RFC 3161 time-stamping server for the signatures (optional)")

# ZARNO_SIGN: the command that signs the file given after it, as a list for
# CMake and as one shell line (ZARNO_SIGN_LINE, for makensis's !finalize);
# empty when nothing is signed.
set(ZARNO_SIGN "")
set(ZARNO_SIGN_LINE "")
if(WIN32 AND ZARNO_SIGN_PKCS12)
  find_program(ZARNO_OSSLSIGNCODE osslsigncode)
  if(NOT ZARNO_OSSLSIGNCODE)
    message(FATAL_ERROR "Signing needs osslsigncode (Debian package osslsigncode)")
  endif()
  foreach(ZARNO_SIGN_INPUT ZARNO_SIGN_PKCS12 ZARNO_SIGN_PASSWORD_FILE)
    if(NOT IS_ABSOLUTE "${${ZARNO_SIGN_INPUT}}" OR NOT EXISTS "${${ZARNO_SIGN_INPUT}}")
      message(FATAL_ERROR "${ZARNO_SIGN_INPUT} must name an existing file by its full path: "
                          "\"${${ZARNO_SIGN_INPUT}}\"")
    endif()
  endforeach()
  set(ZARNO_SIGN sh ${CMAKE_SOURCE_DIR}/cmake/sign.sh ${ZARNO_OSSLSIGNCODE} ${ZARNO_SIGN_PKCS12}
      ${ZARNO_SIGN_PASSWORD_FILE})
  if(ZARNO_SIGN_TIMESTAMP_URL)
    list(APPEND ZARNO_SIGN "${ZARNO_SIGN_TIMESTAMP_URL}")
  endif()
  # Each word in single quotes, a quote in it as '\''.
  foreach(ZARNO_SIGN_WORD IN LISTS ZARNO_SIGN)
    string(REPLACE "'" "'\\''" ZARNO_SIGN_WORD "${ZARNO_SIGN_WORD}")
    string(APPEND ZARNO_SIGN_LINE " '${ZARNO_SIGN_WORD}'")
  endforeach()
  string(STRIP "${ZARNO_SIGN_LINE}" ZARNO_SIGN_LINE)
  message(STATUS "Signing the Windows files with ${ZARNO_SIGN_PKCS12}")
endif()

# Signs a target's file in place once it is linked, when signing is set up.
function(zarno_sign target)
  if(ZARNO_SIGN)
    add_custom_command(TARGET ${target} POST_BUILD
                       COMMAND ${ZARNO_SIGN} $<TARGET_FILE:${target}> VERBATIM)
  endif()
endfunction()
