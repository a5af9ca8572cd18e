# The backend contract: the same cases on the embedded server and, when scripts/test.sh has started one,
# on PostgreSQL through ODBC; with it the T-SQL front's PostgreSQL dialect, and every statement text of the
# client translated and prepared there (the test reads the client's sources from the source tree).
olm_add_test(tst_backend_contract SOURCES tst_backend_contract.cpp tst_dataset_fixture.h
  support/ClientStatements.cpp support/ClientStatements.h
  LIBS olm_toolkit_data olm_server olm_tsql olm_backend_embedded olm_backend_odbc olm_app olm_journal TIMEOUT 300)
set_property(SOURCE ${CMAKE_CURRENT_SOURCE_DIR}/tst_backend_contract.cpp APPEND PROPERTY
  COMPILE_DEFINITIONS OLM_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
