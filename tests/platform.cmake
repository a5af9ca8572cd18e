# The platform seam: machine facts, clipboard, HTTP, shell and the address watcher.
olm_add_test(tst_platform SOURCES tst_platform.cpp support/LoopbackHttpServer.cpp LIBS olm_platform)
