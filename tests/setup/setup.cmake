# setup and uninstall: App.ini, Files.dat and the command line (unit); the
# runs in a sandbox with the real programs; the windows under Xvfb.
kelm_test(setup_unit_test
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/appini_test.cpp
    LIBS setup-core kelm_testsupport
    LABELS unit)
