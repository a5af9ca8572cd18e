# The toolkit basics: message boxes and modal windows through the seam, colours, fonts, keys, canvas.
olm_add_test(tst_ui_basics SOURCES tst_ui_basics.cpp LIBS olm_toolkit)
