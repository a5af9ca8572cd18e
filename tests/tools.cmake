# olm-admin tests: the built executable is run through QProcess.
olm_add_test(tst_admin SOURCES tst_admin.cpp tst_admin_support.h tst_server_support.h LIBS olm_server olm_admin_core)
# olm-admin's data commands: restore, the readable change log, CSV import.
olm_add_test(tst_admin_data SOURCES tst_admin_data.cpp tst_admin_support.h tst_server_support.h LIBS olm_server olm_admin_core)
