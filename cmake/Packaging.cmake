# CPack: a .deb for Debian 12 (cpack -G DEB) and, on Windows, a ZIP and an NSIS installer of the files
# windeployqt gathers (WindowsDeploy.cmake).
set(CPACK_PACKAGE_NAME olm16)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "OLM 16")
set(CPACK_PACKAGE_CONTACT "OLM 16 administrators <olm16-admin@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "University marks journal client (Учет успеваемости) with its administrator's tool")
set(CPACK_PACKAGE_DESCRIPTION
  "OLM 16 keeps a university's marks journal on Microsoft SQL Server (through unixODBC and FreeTDS) or on its \
embedded server: staff sign in, choose a group, a semester and a student, and edit the student's marks. \
olm-admin sets up and administers the embedded database and writes the client's settings file.")
set(CPACK_PACKAGE_INSTALL_DIRECTORY "OLM 16")
set(CPACK_STRIP_FILES ON)

if(WIN32)
  include(${CMAKE_CURRENT_LIST_DIR}/WindowsDeploy.cmake)
else()
  set(CPACK_GENERATOR DEB)
  # Installs into a staging folder with the real prefix, so the desktop entry names the real paths and the
  # links under /usr (SystemLinks.cmake) go into the package.
  set(CPACK_SET_DESTDIR ON)
  set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
  set(CPACK_DEBIAN_PACKAGE_SECTION education)
  set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
  # The Qt libraries and SQLite come from the executables' own links; what is loaded at run time is named here:
  # the Qt SQL drivers, the ODBC driver manager with the FreeTDS driver for SQL Server, Qt's own translations.
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "libqt6sql6-sqlite, libqt6sql6-odbc, unixodbc, tdsodbc, qt6-translations-l10n")
endif()

include(CPack)
