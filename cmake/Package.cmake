# What `cmake --install` puts on a machine, and the Debian package CPack
# makes of it (tools/package): the two command-line tools with their bash
# completion, the window with its desktop entry and icons, and the manual
# pages, made from their scdoc sources in packaging/man/ with the project's
# version.
include(GNUInstallDirs)
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

install(TARGETS fennick-scan fennick-verify RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# Bash completion of both tools, where bash-completion loads it by the
# command's name.
install(FILES ${CMAKE_SOURCE_DIR}/packaging/completion/fennick-scan
              ${CMAKE_SOURCE_DIR}/packaging/completion/fennick-verify
        DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions)
if(TARGET fennick-package-reader)
  # Found by the tools relative to their own folder (bin/../libexec/fennick).
  install(TARGETS fennick-package-reader RUNTIME DESTINATION ${CMAKE_INSTALL_LIBEXECDIR}/fennick)
endif()
set(FENNICK_MAN_PAGES fennick-scan fennick-verify)
if(TARGET orvia-fennick)
  install(TARGETS orvia-fennick RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  list(APPEND FENNICK_MAN_PAGES orvia-fennick)
  install(FILES ${CMAKE_SOURCE_DIR}/packaging/orvia-fennick.desktop
          DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  file(GLOB icon_files ${CMAKE_SOURCE_DIR}/packaging/icons/*x*.png)
  foreach(icon IN LISTS icon_files)
    get_filename_component(size ${icon} NAME_WE)
    install(FILES ${icon} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}/apps
            RENAME orvia-fennick.png)
  endforeach()
endif()

# Manual pages: packaging/man/<name>.1.scd, with @PROJECT_VERSION@ filled in, through
# scdoc into compressed roff. Without scdoc the build goes on without them.
find_program(SCDOC scdoc)
find_program(GZIP gzip)
if(SCDOC AND GZIP)
  set(man_outputs)
  foreach(page IN LISTS FENNICK_MAN_PAGES)
    set(source ${CMAKE_BINARY_DIR}/man/${page}.1.scd)
    set(output ${CMAKE_BINARY_DIR}/man/${page}.1.gz)
    configure_file(${CMAKE_SOURCE_DIR}/packaging/man/${page}.1.scd ${source} @ONLY)
    add_custom_command(
      OUTPUT ${output}
      COMMAND sh -c "\"$0\" < \"$1\" | \"$2\" -9n > \"$3\"" ${SCDOC} ${source} ${GZIP} ${output}
      DEPENDS ${source}
      COMMENT "Manual page ${page}(1)"
      VERBATIM)
    list(APPEND man_outputs ${output})
  endforeach()
  add_custom_target(man ALL DEPENDS ${man_outputs})
  install(FILES ${man_outputs} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
else()
  message(WARNING "scdoc not found: the manual pages are not built (tools/install-deps installs it)")
endif()

set(CPACK_PACKAGE_NAME fennick) # also the name of its folder under /usr/share/doc
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Orvia")
set(CPACK_PACKAGE_CONTACT "Orvia Fennick maintainers <fennick@orvia.example>")

# The package's own documents: its copyright and its changelog, an entry for
# this version dated when the build was configured (or SOURCE_DATE_EPOCH).
string(TIMESTAMP FENNICK_PACKAGE_DATE "%a, %d %b %Y %H:%M:%S +0000" UTC)
configure_file(${CMAKE_SOURCE_DIR}/packaging/changelog.in ${CMAKE_BINARY_DIR}/packaging/changelog
               @ONLY)
add_custom_command(
  OUTPUT ${CMAKE_BINARY_DIR}/packaging/changelog.gz
  COMMAND ${GZIP} -9nkf ${CMAKE_BINARY_DIR}/packaging/changelog
  DEPENDS ${CMAKE_BINARY_DIR}/packaging/changelog
  VERBATIM)
add_custom_target(package-changelog ALL DEPENDS ${CMAKE_BINARY_DIR}/packaging/changelog.gz)
install(FILES ${CMAKE_SOURCE_DIR}/packaging/copyright ${CMAKE_BINARY_DIR}/packaging/changelog.gz
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/fennick)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "checks the signatures of Orvia's Windows software in Wine prefixes")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Orvia Fennick finds the Windows software that Orvia has installed in a
Wine prefix and tells which products carry files signed with the
code-signing certificate that Orvia is replacing, with a link to each
product's update. It verifies the Authenticode signatures of executables,
libraries and plug-ins and the signatures of signed ZIP and JAR archives.
.
The package holds the command-line tools fennick-scan and fennick-verify
and the desktop window orvia-fennick.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The dependencies are what dpkg-shlibdeps finds the binaries linked with.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/package)
include(CPack)
