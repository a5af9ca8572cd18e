# Start-up and sign-in: the exchange (tst_signin) and the sign-in window with the start-up (tst_signinwindow),
# both against a fresh embedded demo database.
set(_olm_signin_support
  ${CMAKE_CURRENT_SOURCE_DIR}/support/TestDatabase.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/support/SignInSetup.cpp)
olm_add_test(tst_signin SOURCES tst_signin.cpp ${_olm_signin_support} LIBS olm_app olm_server)
olm_add_test(tst_signinwindow SOURCES tst_signinwindow.cpp ${_olm_signin_support} LIBS olm_app olm_server TIMEOUT 240)
# The self-update end to end: tst_selfupdate runs copies of olm16-update-client, the client's start-up with
# the sign-in typed in by QTest, against a loopback HTTP server.
olm_add_test(tst_selfupdate SOURCES tst_selfupdate.cpp support/LoopbackHttpServer.cpp support/SignInSetup.cpp
  LIBS olm_app olm_server TIMEOUT 300)
add_executable(olm16-update-client olm16_update_client.cpp)
target_link_libraries(olm16-update-client PRIVATE olm_startup olm_backend_embedded olm_backend_odbc Qt6::Test)
set_property(SOURCE ${CMAKE_CURRENT_SOURCE_DIR}/tst_selfupdate.cpp APPEND PROPERTY
  COMPILE_DEFINITIONS OLM16_UPDATE_CLIENT="$<TARGET_FILE:olm16-update-client>")
