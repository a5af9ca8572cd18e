# The Windows package: the executables with what windeployqt gathers for them (Qt's libraries, the platform,
# style and SQL driver plugins) and Qt's Russian texts in translations/, beside the program, which keeps its
# Data/ folder there too. Packed as a ZIP and an NSIS installer into a folder the site can make writable.
find_program(OLM_WINDEPLOYQT windeployqt HINTS "${QT6_INSTALL_PREFIX}/${QT6_INSTALL_BINS}" REQUIRED)

# Run on the installed copies, so the gathered files land beside them (in the package's staging folder too).
install(CODE "
  set(_root \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}\")
  foreach(_program \"$<TARGET_FILE_NAME:olm16>\" \"$<TARGET_FILE_NAME:olm-admin>\")
    execute_process(
      COMMAND \"${OLM_WINDEPLOYQT}\" --no-translations --no-system-d3d-compiler --no-opengl-sw
              --dir \"\${_root}\" \"\${_root}/\${_program}\"
      RESULT_VARIABLE _result)
    if(NOT _result EQUAL 0)
      message(FATAL_ERROR \"windeployqt failed on \${_program}: \${_result}\")
    endif()
  endforeach()
")
install(FILES "${QT6_INSTALL_PREFIX}/${QT6_INSTALL_TRANSLATIONS}/qtbase_ru.qm" DESTINATION translations)

set(CPACK_GENERATOR ZIP NSIS)
# NSIS: under C:\OLM 16 rather than Program Files, whose folders users cannot write.
set(CPACK_NSIS_INSTALL_ROOT "C:")
set(CPACK_NSIS_DISPLAY_NAME "OLM 16")
set(CPACK_NSIS_PACKAGE_NAME "OLM 16")
set(CPACK_NSIS_MUI_ICON "${CMAKE_SOURCE_DIR}/app/icons/olm16.ico")
set(CPACK_NSIS_INSTALLED_ICON_NAME "OLM 16.exe")
set(CPACK_NSIS_EXECUTABLES_DIRECTORY ".")
set(CPACK_PACKAGE_EXECUTABLES "OLM 16" "OLM 16")
