# What the packages hold and how they are made: a .deb from a native build, a .zip from the
# Windows cross build. `cpack` in a build folder makes the one that folder is for.
#
# Installing needs only the programs: the test programs are never installed, so a build of
# just harrowkeeps and harrowkeeps-cmd is enough to package.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)

set(CPACK_PACKAGE_NAME harrowkeeps)
set(CPACK_PACKAGE_VENDOR "Harrowkeeps")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "full-screen console backup of fixed folders through XCOPY")
set(CPACK_PACKAGE_HOMEPAGE_URL "http://www.harrowkeeps.net/backup.htm")
set(CPACK_PACKAGE_CONTACT "Harrowkeeps maintainers <maintainers@harrowkeeps.net>")
set(CPACK_STRIP_FILES ON)
set(CPACK_SOURCE_GENERATOR "")

if(WIN32)
  # Written with CRLF line ends: Notepad before Windows 10 shows LF-only text as one line.
  file(READ ${PROJECT_SOURCE_DIR}/packaging/README-Windows.txt hk_windows_text)
  string(REPLACE "@PROJECT_VERSION@" "${PROJECT_VERSION}" hk_windows_text "${hk_windows_text}")
  string(REPLACE "\n" "\r\n" hk_windows_text "${hk_windows_text}")
  file(WRITE ${PROJECT_BINARY_DIR}/packaging/README-Windows.txt "${hk_windows_text}")
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
    ${PROJECT_SOURCE_DIR}/packaging/README-Windows.txt)
  install(FILES ${PROJECT_BINARY_DIR}/packaging/README-Windows.txt DESTINATION .)

  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_FILE_NAME "harrowkeeps-${PROJECT_VERSION}-win64")
else()
  include(GNUInstallDirs)
  # Man pages go in compressed, as Debian's man expects; -n keeps the packages reproducible.
  file(MAKE_DIRECTORY ${PROJECT_BINARY_DIR}/man)
  foreach(page harrowkeeps.1 harrowkeeps-cmd.1)
    set(source ${PROJECT_SOURCE_DIR}/man/${page})
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${source})
    execute_process(COMMAND gzip -9 -n -c ${source}
      OUTPUT_FILE ${PROJECT_BINARY_DIR}/man/${page}.gz COMMAND_ERROR_IS_FATAL ANY)
    install(FILES ${PROJECT_BINARY_DIR}/man/${page}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  endforeach()
  # Debian compresses documentation of more than a few kilobytes the same way.
  execute_process(COMMAND gzip -9 -n -c ${PROJECT_SOURCE_DIR}/README.md
    OUTPUT_FILE ${PROJECT_BINARY_DIR}/README.md.gz COMMAND_ERROR_IS_FATAL ANY)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/README.md)
  install(FILES ${PROJECT_BINARY_DIR}/README.md.gz DESTINATION ${CMAKE_INSTALL_DOCDIR})

  set(CPACK_GENERATOR DEB)
  set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SECTION utils)
  set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
  # The dependencies are what the two programs link against, found by dpkg-shlibdeps.
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Harrowkeeps is a keyboard-driven text-screen program that backs up fixed\n\
sets of folders from a source drive to a target drive. Each backup job\n\
builds one XCOPY command line and hands it to the command interpreter; on\n\
Linux that is harrowkeeps-cmd, installed beside it, which maps drive letters\n\
to folders through links in a drives folder and copies only what is new,\n\
each file atomically.")
endif()

include(CPack)
