# The SQL Server scripts (server/mssql), checked offline with the shared T-SQL lexer; the test reads
# the scripts and the client's sources from the source tree.
olm_add_test(tst_mssql_kit SOURCES tst_mssql_kit.cpp support/ClientStatements.cpp support/ClientStatements.h
  LIBS olm_server olm_app olm_journal)
set_property(SOURCE ${CMAKE_CURRENT_SOURCE_DIR}/tst_mssql_kit.cpp APPEND PROPERTY
  COMPILE_DEFINITIONS OLM_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
