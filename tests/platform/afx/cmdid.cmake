# Command and window ids at the wx boundary.
kelm_test(afx_cmdid_test
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/cmdid_test.cpp
    LIBS platform-afx kelm_testsupport
    LABELS unit)
