# The text forms the client and the server share: the Windows-1251 codec and single-quoted literals.
olm_add_test(tst_text SOURCES tst_text.cpp LIBS olm_text)
