# The PostgreSQL server scripts on the throwaway cluster scripts/test.sh starts (skipped without it); the helper
# that copies the template database serves other PostgreSQL tests too.
olm_add_test(tst_pg_server SOURCES tst_pg_server.cpp support/PgTestDatabase.cpp support/PgTestDatabase.h
  LIBS Qt6::Sql olm_server TIMEOUT 300)
