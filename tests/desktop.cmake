# The program on the desktop: Qt's own texts in Russian and the window icon (tst_desktop); the install
# rules, run into a scratch folder with and without a staging DESTDIR (install_layout).
olm_add_test(tst_desktop SOURCES tst_desktop.cpp LIBS olm_app)
add_test(NAME install_layout COMMAND ${CMAKE_COMMAND} -DOLM_BUILD_DIR=${CMAKE_BINARY_DIR}
  -DOLM_SCRATCH=${CMAKE_CURRENT_BINARY_DIR}/install-layout -P ${CMAKE_SOURCE_DIR}/cmake/CheckInstall.cmake)
set_tests_properties(install_layout PROPERTIES TIMEOUT 300)
