# The journal window and its selection cascade, signed in through the real sign-in window on a fresh demo database.
olm_add_test(tst_journal
  SOURCES tst_journal.cpp support/TestDatabase.cpp support/TestDatabase.h support/SignInSetup.cpp
          support/SignInSetup.h
  LIBS olm_journal olm_app olm_server
  TIMEOUT 900)
