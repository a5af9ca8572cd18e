# Install rules: the client, olm-admin with its manual page, the collations module for a stock sqlite3 shell,
# the documents, the server scripts and, off Windows, the desktop entry and the icons. The programs keep their files beside the executable (Data/ with the settings and the
# embedded database, the self-update's tempOLM/ and script), so on Linux the default prefix is /opt/olm16,
# whose bin/ the site makes writable for the staff who run the client; /usr only gets links (SystemLinks.cmake).
if(CMAKE_INSTALL_PREFIX_INITIALIZED_TO_DEFAULT AND NOT WIN32)
  set(CMAKE_INSTALL_PREFIX /opt/olm16 CACHE PATH "Install prefix; its bin/ must be writable by the users" FORCE)
endif()

if(WIN32)
  set(OLM_INSTALL_BINDIR .)
  set(OLM_INSTALL_DOCDIR doc)
  set(OLM_INSTALL_SERVERDIR server)
  set(OLM_INSTALL_LIBDIR .)
else()
  set(OLM_INSTALL_BINDIR bin)
  set(OLM_INSTALL_DOCDIR share/doc/olm16)
  set(OLM_INSTALL_SERVERDIR share/olm16/server)
  set(OLM_INSTALL_LIBDIR lib)
endif()

install(TARGETS olm16 olm-admin RUNTIME DESTINATION ${OLM_INSTALL_BINDIR})
# sqlite3 -cmd ".load PREFIX/lib/olm_collations" DB: the shell reads and checks a database with our collations.
install(TARGETS olm_collations LIBRARY DESTINATION ${OLM_INSTALL_LIBDIR})
if(OLM_ADMIN_MAN_PAGE)
  install(FILES ${OLM_ADMIN_MAN_PAGE} DESTINATION share/man/man1)
endif()

install(FILES README.md DESTINATION ${OLM_INSTALL_DOCDIR})
install(FILES server/DEMO.md DESTINATION ${OLM_INSTALL_DOCDIR} RENAME demo-database.md)
install(DIRECTORY docs/ DESTINATION ${OLM_INSTALL_DOCDIR} OPTIONAL FILES_MATCHING PATTERN "*.md")
# The database servers' own scripts, for whichever servers have them in this tree.
foreach(_server mssql postgresql)
  install(DIRECTORY server/${_server} DESTINATION ${OLM_INSTALL_SERVERDIR} OPTIONAL)
endforeach()

if(NOT WIN32)
  foreach(_size 16 32 48 64 128 256)
    install(FILES app/icons/olm16-${_size}.png DESTINATION share/icons/hicolor/${_size}x${_size}/apps
      RENAME olm16.png)
  endforeach()
  install(FILES app/icons/olm16.svg DESTINATION share/icons/hicolor/scalable/apps)

  # The entry names the executable and the icon by full path, so it works from the prefix without any link;
  # the prefix is the one of this installation, known only when it runs (cmake --install --prefix).
  install(CODE "
    set(OLM_BIN_DIR \"\${CMAKE_INSTALL_PREFIX}/${OLM_INSTALL_BINDIR}\")
    set(OLM_ICON \"\${CMAKE_INSTALL_PREFIX}/share/icons/hicolor/256x256/apps/olm16.png\")
    configure_file(\"${CMAKE_SOURCE_DIR}/packaging/linux/olm16.desktop.in\"
                   \"${CMAKE_BINARY_DIR}/install/olm16.desktop\" @ONLY)
  ")
  install(FILES ${CMAKE_BINARY_DIR}/install/olm16.desktop DESTINATION share/applications)

  install(CODE "
    set(OLM_BIN_DIR \"${OLM_INSTALL_BINDIR}\")
    include(\"${CMAKE_SOURCE_DIR}/cmake/SystemLinks.cmake\")
  ")
endif()
