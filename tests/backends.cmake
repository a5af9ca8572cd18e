# The backend contract: the same cases on the embedded server and, when scripts/test.sh has started one,
# on PostgreSQL through ODBC.
olm_add_test(tst_backend_contract SOURCES tst_backend_contract.cpp tst_dataset_fixture.h
  LIBS olm_toolkit_data olm_server olm_backend_embedded olm_backend_odbc TIMEOUT 300)
