# The test suite of the Windows build: the engine's tests that hold on any
# host plus the tests of the Windows platform layer (tests/windows/*.cpp),
# one program run under Wine by tests/windows/run-engine-tests.sh. The
# fixtures are the Linux build's (FENNICK_LINUX_BUILD/fixtures).

# Tests that stand on the Linux prefix layer (a prefix made on disk, the
# .reg reader, the POSIX locale, the ELF helper) or on the Linux trust stores.
set(FENNICK_TESTS_PREFIX_LAYER
  Base64Test DefectsLogTest FilesTest FolderFinderTest FolderTokenHelperTest
  FolderTokensTest HostileInputTest InstallerDatabaseTest MsiFileFinderTest
  QORBFileFinderTest QORBProductReaderTest RegistryTest ScanConfigTest
  ScanDriverTest ScratchFolderTest SessionControllerTest SpecialFoldersTest
  MsiRealPrefixTest PackageRowsTest SpecialFilesTest FolderWalkTest
  WindowsInstallerTest WindowsNamespaceTest ZipFileFunctionsTest)
set(FENNICK_TESTS_POSIX_LOCALE ConsoleLocaleTest LocalizerTest PlatformLocaleTest
  ShippedDictionariesTest CommandLineTextsTest)
set(FENNICK_TESTS_POSIX_RESOURCES ResourcesTest)
set(FENNICK_TESTS_POSIX_TRUST AuthenticodeSamplesTest PEValidatorTest RootListTest WinTrustTest)
# Tests that lower a POSIX resource limit in a child process.
set(FENNICK_TESTS_POSIX_LIMITS WorkerPoolLimitTest)
set(FENNICK_TESTS_NOT_ON_WINDOWS
  ${FENNICK_TESTS_PREFIX_LAYER} ${FENNICK_TESTS_POSIX_LOCALE}
  ${FENNICK_TESTS_POSIX_RESOURCES} ${FENNICK_TESTS_POSIX_TRUST} ${FENNICK_TESTS_POSIX_LIMITS})

set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
add_subdirectory(${FENNICK_GTEST_SOURCE} googletest EXCLUDE_FROM_ALL)

file(GLOB test_sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
foreach(name IN LISTS FENNICK_TESTS_NOT_ON_WINDOWS)
  list(REMOVE_ITEM test_sources ${CMAKE_CURRENT_SOURCE_DIR}/${name}.cpp)
endforeach()
file(GLOB windows_test_sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/windows/*.cpp)
add_executable(fennick_tests ${test_sources} ${windows_test_sources}
               ${CMAKE_SOURCE_DIR}/app/PageAddress.cpp)
target_include_directories(fennick_tests PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(fennick_tests PRIVATE fennick_cli fennick_core fennick_resources gtest gtest_main)

# Runs only where Wine runs 64-bit programs.
if(CMAKE_SYSTEM_PROCESSOR STREQUAL "AMD64")
  set(FENNICK_LINUX_BUILD ${CMAKE_SOURCE_DIR}/build CACHE PATH "The Linux build whose fixtures the tests read")
  add_test(NAME windows.engine
           COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/windows/run-engine-tests.sh
                   $<TARGET_FILE:fennick_tests> ${CMAKE_BINARY_DIR}/wine-tests ${FENNICK_LINUX_BUILD}
                   $<TARGET_FILE:fennick-tg> ${CMAKE_BINARY_DIR})
  add_test(NAME windows.verify-compare
           COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/windows/verify-compare.sh
                   ${CMAKE_BINARY_DIR} ${FENNICK_LINUX_BUILD})
  add_test(NAME windows.scan-compare
           COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/windows/scan-compare.sh
                   ${CMAKE_BINARY_DIR} ${FENNICK_LINUX_BUILD})
  # The 64-bit package that tools/build-windows packs from this build.
  add_test(NAME windows.package
           COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/windows/package.sh
                   ${CMAKE_SOURCE_DIR}/dist/fennick-windows-x64.zip ${CMAKE_BINARY_DIR}/wine-package)
  # Each makes and ends its own Wine prefix; one at a time keeps the
  # machine's two cores for them. Wine keeps Windows file names on the
  # host's drive in the character set of the host's locale: under a locale
  # that is not UTF-8 (LANG=C) a name outside ASCII cannot be made at all,
  # whatever the Windows program does. The programs under test never see
  # the host's locale; Wine's file-name layer is given UTF-8.
  set_tests_properties(windows.engine windows.verify-compare windows.scan-compare windows.package
                       PROPERTIES RUN_SERIAL TRUE ENVIRONMENT "LC_ALL=C.UTF-8")
endif()
