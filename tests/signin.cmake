# Start-up and sign-in: the exchange (tst_signin) and the sign-in window with the start-up (tst_signinwindow),
# both against a fresh embedded demo database.
set(_olm_signin_support
  ${CMAKE_CURRENT_SOURCE_DIR}/support/TestDatabase.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/support/SignInSetup.cpp)
olm_add_test(tst_signin SOURCES tst_signin.cpp ${_olm_signin_support} LIBS olm_app olm_server)
olm_add_test(tst_signinwindow SOURCES tst_signinwindow.cpp ${_olm_signin_support} LIBS olm_app olm_server)
