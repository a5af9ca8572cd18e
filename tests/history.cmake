# The change history and its journal writers, against a fresh demo database.
olm_add_test(tst_history
  SOURCES tst_history.cpp support/TestDatabase.cpp support/TestDatabase.h
  LIBS olm_journal olm_data olm_server)
