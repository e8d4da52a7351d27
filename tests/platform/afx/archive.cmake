# Runtime classes, archives and files of the class library.
kelm_test(afx_archive_test
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/archive_test.cpp
    LIBS platform-afx kelm_testsupport
    LABELS unit)

kelm_fuzz(afx_archive_fuzz
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/archive_fuzz.cpp
    LIBS platform-afx
    CORPUS ${CMAKE_CURRENT_LIST_DIR}/corpus/archive)
