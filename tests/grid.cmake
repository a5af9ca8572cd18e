# The data-aware controls: the grid and the lookup combo box over a temporary demo database, the string
# grid on its own; all offscreen. grid-demo shows a journal in the grid (manual, not a test).
olm_add_test(tst_grid
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_grid.cpp ${CMAKE_CURRENT_LIST_DIR}/support/TestDatabase.cpp
  LIBS olm_toolkit olm_server)
olm_add_test(tst_lookupcombo
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_lookupcombo.cpp ${CMAKE_CURRENT_LIST_DIR}/support/TestDatabase.cpp
  LIBS olm_toolkit olm_server)
olm_add_test(tst_stringgrid SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_stringgrid.cpp LIBS olm_toolkit)

add_executable(grid-demo ${CMAKE_CURRENT_LIST_DIR}/grid_demo.cpp ${CMAKE_CURRENT_LIST_DIR}/support/TestDatabase.cpp)
target_include_directories(grid-demo PRIVATE ${CMAKE_SOURCE_DIR})
target_link_libraries(grid-demo PRIVATE olm_toolkit olm_server)
