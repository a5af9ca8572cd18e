# The grid behaviour component over a real dataset on a temporary database, and a real grid offscreen.
olm_add_test(tst_gridevents
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_gridevents.cpp ${CMAKE_CURRENT_LIST_DIR}/support/TestDatabase.cpp
  LIBS olm_gridevents olm_server)
# Its row edit actions and clipboard block, over the same kind of journal.
olm_add_test(tst_gridactions
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_gridactions.cpp ${CMAKE_CURRENT_LIST_DIR}/tst_gridevents_fixture.h
          ${CMAKE_CURRENT_LIST_DIR}/support/TestDatabase.cpp
  LIBS olm_gridevents olm_server)
