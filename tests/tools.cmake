# olm-admin tests: the built executable is run through QProcess.
olm_add_test(tst_admin SOURCES tst_admin.cpp tst_server_support.h LIBS olm_server olm_admin_core)
add_dependencies(tst_admin olm-admin)
target_compile_definitions(tst_admin PRIVATE OLM_ADMIN_EXECUTABLE="$<TARGET_FILE:olm-admin>")
