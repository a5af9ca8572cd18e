# olm-admin tests: the built executable is run through QProcess; its manual page is compared with the one the
# build wrote.
olm_add_test(tst_admin SOURCES tst_admin.cpp tst_admin_support.h tst_server_support.h
             LIBS olm_server olm_admin_core olm_version)
if(OLM_ADMIN_MAN_PAGE)
  set_property(SOURCE ${CMAKE_CURRENT_SOURCE_DIR}/tst_admin.cpp APPEND PROPERTY
    COMPILE_DEFINITIONS OLM_ADMIN_MAN_PAGE="${OLM_ADMIN_MAN_PAGE}")
endif()
# olm-admin's data commands: restore, the readable change log, CSV import.
olm_add_test(tst_admin_data SOURCES tst_admin_data.cpp tst_admin_support.h tst_server_support.h LIBS olm_server olm_admin_core)
