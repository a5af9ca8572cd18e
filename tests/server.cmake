# Embedded server tests: every case works on its own copy of a demo database in a temporary folder.
olm_add_test(tst_server SOURCES tst_server.cpp tst_server_support.h LIBS olm_server)
olm_add_test(tst_server_procs SOURCES tst_server_procs.cpp tst_server_support.h LIBS olm_server)
olm_add_test(tst_server_hostile SOURCES tst_server_hostile.cpp tst_server_support.h LIBS olm_server)
