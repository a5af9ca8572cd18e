# The data-aware controls: the grid and the lookup combo box over a temporary demo database, the string
# grid on its own; all offscreen. grid-demo shows a journal in the grid (manual, not a test).
olm_add_test(tst_grid
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_grid.cpp ${CMAKE_CURRENT_LIST_DIR}/support/TestDatabase.cpp
  LIBS olm_toolkit olm_server)
olm_add_test(tst_lookupcombo
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_lookupcombo.cpp ${CMAKE_CURRENT_LIST_DIR}/support/TestDatabase.cpp
  LIBS olm_toolkit olm_server)
olm_add_test(tst_stringgrid SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_stringgrid.cpp LIBS olm_toolkit)

