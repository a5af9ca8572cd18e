# The journal data module against the embedded server's demo data.
olm_add_test(tst_datamodule
  SOURCES tst_datamodule.cpp ${CMAKE_CURRENT_SOURCE_DIR}/support/TestDatabase.cpp
  LIBS olm_data olm_server)
