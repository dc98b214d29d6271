# The release packages made with CPack: a zip of the Windows build.
install(TARGETS launcher RUNTIME DESTINATION .)
install(FILES README.md examples/example.zarnok DESTINATION .)
set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_FILE_NAME "ZarnoLaunch-${PROJECT_VERSION}-${CMAKE_SYSTEM_NAME}")
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
include(CPack)
