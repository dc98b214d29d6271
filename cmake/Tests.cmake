# Tests of both builds.  The Windows build's tests run under Wine, in a prefix
# inside the build tree, through CTest's cross-compiling emulator.

if(WIN32)
  set(CMAKE_CROSSCOMPILING_EMULATOR
      ${CMAKE_SOURCE_DIR}/cmake/wine-run.sh ${CMAKE_BINARY_DIR}/wineprefix)
  set(gtest_disable_pthreads OFF CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  set(ZARNO_GTEST gtest)
  # One Wine start per test program rather than per test case; programs that
  # touch the shared Wine registry do not run side by side.
  set(ZARNO_TEST_PROPS RUN_SERIAL TRUE)
else()
  find_package(GTest REQUIRED)
  set(ZARNO_GTEST GTest::gtest)
  set(ZARNO_TEST_PROPS "")
endif()

if(WIN32)
  # Test programs speak UTF-8 through the narrow calls, as the launcher does,
  # so that they can make and hand over paths in any script.
  file(WRITE ${CMAKE_BINARY_DIR}/test-manifest.rc
       "1 24 \"${ZARNO_MANIFEST}\"\n")
  set(ZARNO_TEST_RESOURCES ${CMAKE_BINARY_DIR}/test-manifest.rc)
endif()

function(zarno_test_program name)
  add_executable(${name} ${ARGN} ${ZARNO_TEST_RESOURCES})
  target_link_libraries(${name} PRIVATE zarno ${ZARNO_GTEST})
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR}/tests)
  if(WIN32)
    target_link_options(${name} PRIVATE -static)
  endif()
endfunction()

set(ZARNO_SUPPORT tests/support/support.cpp)
if(WIN32)
  list(APPEND ZARNO_SUPPORT tests/support/support_win32.cpp)
else()
  list(APPEND ZARNO_SUPPORT tests/support/support_posix.cpp)
endif()

set(ZARNO_UNIT_SOURCES
  tests/unit/main.cpp
  tests/unit/server_test.cpp
  tests/unit/report_test.cpp
  tests/unit/registry_test.cpp)
if(NOT WIN32)
  list(APPEND ZARNO_UNIT_SOURCES
    tests/unit/ini_test.cpp
    tests/unit/registry_file_test.cpp
    tests/unit/desktop_text_test.cpp
    tests/unit/wine_prefix_test.cpp
    tests/unit/game_managers_test.cpp)
  list(APPEND ZARNO_SUPPORT tests/support/game_managers.cpp)
endif()
zarno_test_program(unit_tests ${ZARNO_UNIT_SOURCES} ${ZARNO_SUPPORT})
# The address table that the join page's check is held to too (browser tests).
set_property(SOURCE tests/unit/server_test.cpp APPEND PROPERTY COMPILE_DEFINITIONS
  ZARNO_ADDRESS_TABLE="${CMAKE_SOURCE_DIR}/tests/server_addresses.tsv")
add_test(NAME unit_tests COMMAND unit_tests)

set(ZARNO_E2E_SOURCES
  tests/unit/main.cpp
  tests/e2e/run_flow_test.cpp
  tests/e2e/log_test.cpp
  tests/e2e/game_lookup_test.cpp
  tests/e2e/launch_test.cpp
  tests/e2e/install_test.cpp
  tests/e2e/bad_input_test.cpp)
if(NOT WIN32)
  # The Linux desktop: freedesktop registration and dialogs.
  list(APPEND ZARNO_E2E_SOURCES
    tests/e2e/desktop_test.cpp
    tests/e2e/dialog_test.cpp
    tests/e2e/wine_prefix_test.cpp)
endif()
# The launcher as a standard user and as an administrator meet the registry
# on Windows: HKEY_CLASSES_ROOT merges the user's classes over the machine's,
# which only an administrator may change.  Test builds only; see
# tests/support/standard_user.cpp.
foreach(account standard-user administrator)
  set(target launcher_${account})
  add_executable(${target} ${ZARNO_ENTRY} tests/support/standard_user.cpp)
  set_target_properties(${target} PROPERTIES OUTPUT_NAME ${ZARNO_BINARY}-${account})
  target_link_libraries(${target} PRIVATE zarno)
  target_link_options(${target} PRIVATE
    -Wl,--wrap=platRegOpenKey,--wrap=platRegCreateKey,--wrap=platRegDeleteKey,--wrap=platRegDeleteValue)
  if(account STREQUAL administrator)
    target_compile_definitions(${target} PRIVATE ZARNO_ADMINISTRATOR)
  endif()
  if(WIN32)
    target_link_options(${target} PRIVATE -mwindows -static)
  endif()
endforeach()

zarno_test_program(e2e_tests ${ZARNO_E2E_SOURCES} ${ZARNO_SUPPORT})
add_dependencies(e2e_tests launcher launcher_standard-user launcher_administrator zarnok-demo)
add_test(NAME e2e_tests COMMAND e2e_tests)

if(WIN32)
  # Reads INI files with GetPrivateProfileStringA for the native build's
  # comparison with its own reader.
  add_executable(ini_probe tests/ini_probe.cpp ${ZARNO_TEST_RESOURCES})
  target_link_options(ini_probe PRIVATE -static)
  zarno_test_program(shell_tests tests/unit/main.cpp tests/e2e/shell_test.cpp ${ZARNO_SUPPORT})
  target_link_libraries(shell_tests PRIVATE shell32)
  add_dependencies(shell_tests launcher zarnok-demo)
  add_test(NAME shell_tests COMMAND shell_tests)
else()
  set(ZARNO_WIN32_BUILD ${CMAKE_SOURCE_DIR}/build/win32 CACHE PATH
      "The win32 build whose ini_probe.exe the INI comparison runs under Wine")
  zarno_test_program(ini_differential tests/unit/main.cpp tests/ini_differential_test.cpp
                     ${ZARNO_SUPPORT})
  target_compile_definitions(ini_differential PRIVATE
    ZARNO_INI_PROBE="${ZARNO_WIN32_BUILD}/ini_probe.exe"
    ZARNO_WINE_RUN="${CMAKE_SOURCE_DIR}/cmake/wine-run.sh"
    ZARNO_WINE_PREFIX="${ZARNO_WIN32_BUILD}/wineprefix")
  add_test(NAME ini_differential COMMAND ini_differential)
  # The Linux launcher and a game installed with Wine: the win32 build's
  # stand-in game, registered in a prefix of this build tree's own.
  set_property(SOURCE tests/e2e/wine_prefix_test.cpp APPEND PROPERTY COMPILE_DEFINITIONS
    ZARNO_WINE_GAME="${ZARNO_WIN32_BUILD}/zarnok-demo.exe"
    ZARNO_WINE_RUN="${CMAKE_SOURCE_DIR}/cmake/wine-run.sh"
    ZARNO_E2E_WINE_PREFIX="${CMAKE_BINARY_DIR}/e2e-wineprefix")
endif()

get_property(zarno_tests DIRECTORY PROPERTY TESTS)
foreach(t ${zarno_tests})
  set_tests_properties(${t} PROPERTIES TIMEOUT 900 ${ZARNO_TEST_PROPS})
endforeach()

# Groups with a harness of their own.  Under Wine, what they need from inside
# it: a held program, a volatile key, a wizard's pages, a message box's text.
if(WIN32)
  add_executable(windows_probe tests/support/windows_probe.cpp)
  target_link_options(windows_probe PRIVATE -municode -static)
endif()
add_subdirectory(tests/package)
add_subdirectory(tests/i18n)
if(WIN32)
  add_subdirectory(tests/setup)
else()
  add_subdirectory(tests/browser)
endif()

# The launcher as released: its form and protections, and the libraries it
# carries, each named in THIRD-PARTY-NOTICES (tests/package/binary_test.sh).
if(NOT CMAKE_BUILD_TYPE STREQUAL "Debug" AND (WIN32 OR ZARNO_STATIC))
  add_test(NAME launcher_binary COMMAND bash ${CMAKE_SOURCE_DIR}/tests/package/binary_test.sh
           $<TARGET_FILE:launcher> ${CMAKE_BINARY_DIR}/${ZARNO_BINARY}.map $<TARGET_FILE:zarno>
           ${CMAKE_SOURCE_DIR}/THIRD-PARTY-NOTICES)
endif()
