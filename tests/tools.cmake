# olm-admin tests: the built executable is run through QProcess.
olm_add_test(tst_admin SOURCES tst_admin.cpp tst_server_support.h LIBS olm_server olm_admin_core)
