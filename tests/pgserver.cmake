# The PostgreSQL server scripts on the throwaway cluster scripts/test.sh starts (skipped without it); the helper
# that copies the template database serves other PostgreSQL tests too.
olm_add_test(tst_pg_server SOURCES tst_pg_server.cpp support/PgTestDatabase.cpp support/PgTestDatabase.h
  LIBS Qt6::Sql olm_server TIMEOUT 300)
# olm-admin's commands on a copy of the same template, run as the built tool.
olm_add_test(tst_admin_pg SOURCES tst_admin_pg.cpp support/PgTestDatabase.cpp support/PgTestDatabase.h
  LIBS Qt6::Sql TIMEOUT 300)
set_property(SOURCE ${CMAKE_CURRENT_SOURCE_DIR}/tst_admin_pg.cpp APPEND PROPERTY
  COMPILE_DEFINITIONS OLM_ADMIN_EXECUTABLE="$<TARGET_FILE:olm-admin>")
