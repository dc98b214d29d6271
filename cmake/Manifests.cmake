# Scoop's and winget's manifests for a Windows build's zip and setup, from
# the templates in packaging/ (run by the target "manifests" of
# cmake/Package.cmake, once the zip and the setup are made):
#
#   OUT/zarnolaunch.json                           for a Scoop bucket
#   OUT/winget/ZarnoLaunch.ZarnoLaunch.yaml        winget's version manifest,
#   OUT/winget/ZarnoLaunch.ZarnoLaunch.installer.yaml    its installer and
#   OUT/winget/ZarnoLaunch.ZarnoLaunch.locale.en-US.yaml its default locale
#
# Each names its file by its address under RELEASE_URL and holds its
# SHA-256 sum (winget writes it in capitals).  The release date is the
# build's SOURCE_DATE_EPOCH (EPOCH), in UTC.  RELEASE_URL is the version's
# own folder: Scoop's checkver reads the folder above it, the list of
# releases, and its autoupdate finds a later zip where this one's name, and
# folder, have that version.  The licence is LICENSE at HOMEPAGE.
#
#   cmake -DVERSION=... -DEPOCH=... -DRELEASE_URL=... -DHOMEPAGE=... -DZIP=... -DSETUP=...
#         -DRECIPES=packaging -DOUT=... -P cmake/Manifests.cmake
foreach(file ZIP SETUP)
  if(NOT EXISTS "${${file}}")
    message(FATAL_ERROR "No ${${file}}: make the targets \"package\" and \"setup\" first")
  endif()
endforeach()
file(SHA256 ${ZIP} ZIP_SHA256)
file(SHA256 ${SETUP} SETUP_SHA256)
string(TOUPPER ${SETUP_SHA256} SETUP_SHA256)
get_filename_component(name ${ZIP} NAME)
set(ZIP_URL ${RELEASE_URL}/${name})
get_filename_component(name ${SETUP} NAME)
set(SETUP_URL ${RELEASE_URL}/${name})
if(NOT RELEASE_URL MATCHES "/${VERSION}$")
  message(FATAL_ERROR "RELEASE_URL ${RELEASE_URL} is not a folder named ${VERSION}, the version")
endif()
string(REGEX REPLACE "/[^/]*$" "" RELEASES_URL ${RELEASE_URL})
string(REPLACE ${VERSION} "$version" AUTOUPDATE_URL ${ZIP_URL})
set(LICENSE_URL ${HOMEPAGE}/LICENSE)
set(ENV{SOURCE_DATE_EPOCH} ${EPOCH})
string(TIMESTAMP RELEASE_DATE "%Y-%m-%d" UTC)
configure_file(${RECIPES}/zarnolaunch.json.in ${OUT}/zarnolaunch.json @ONLY)
foreach(manifest ZarnoLaunch.ZarnoLaunch ZarnoLaunch.ZarnoLaunch.installer
                 ZarnoLaunch.ZarnoLaunch.locale.en-US)
  configure_file(${RECIPES}/winget/${manifest}.yaml.in ${OUT}/winget/${manifest}.yaml @ONLY)
endforeach()
