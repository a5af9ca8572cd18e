# The journal window and its selection cascade, signed in through the real sign-in window on a fresh demo database.
olm_add_test(tst_journal
  SOURCES tst_journal.cpp support/TestDatabase.cpp support/TestDatabase.h support/SignInSetup.cpp
          support/SignInSetup.h
  LIBS olm_journal olm_app olm_server
  TIMEOUT 900)

# The journal grid's rules (colours, keys, copy and paste, deletion, the curriculum check) on the same start.
olm_add_test(tst_journalrules
  SOURCES tst_journalrules.cpp tst_journal_fixture.h support/TestDatabase.cpp support/TestDatabase.h
          support/SignInSetup.cpp support/SignInSetup.h
  LIBS olm_journal olm_app olm_server
  TIMEOUT 900)

# The restore of deleted rows: the chord on the journal grid, the restore window, OK and close, refusals.
olm_add_test(tst_journalrestore
  SOURCES tst_journalrestore.cpp tst_journal_fixture.h support/TestDatabase.cpp support/TestDatabase.h
          support/SignInSetup.cpp support/SignInSetup.h
  LIBS olm_journal olm_app olm_server
  TIMEOUT 900)

# The examination sheet: marks typed with real keys, another user's change, the PDF and the CSV exports.
olm_add_test(tst_examsheet
  SOURCES tst_examsheet.cpp tst_journal_fixture.h support/TestDatabase.cpp support/TestDatabase.h
          support/SignInSetup.cpp support/SignInSetup.h
  LIBS olm_journal olm_app olm_server
  TIMEOUT 900)

# The journal end to end on PostgreSQL (a throwaway cluster from scripts/test.sh): sign-in, cascade, edit and log,
# deletion and restore, the row's history, two clients at once. Skipped without the cluster.
olm_add_test(tst_pg_journal
  SOURCES tst_pg_journal.cpp tst_journal_fixture.h support/PgTestDatabase.cpp support/PgTestDatabase.h
          support/TestDatabase.cpp support/TestDatabase.h
          support/SignInSetup.cpp support/SignInSetup.h
  LIBS olm_journal olm_app olm_server
  TIMEOUT 900)
