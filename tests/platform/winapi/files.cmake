# File and folder calls on a temporary tree.
kelm_test(winapi_files_test
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/files_test.cpp
    LIBS platform-winapi kelm_testsupport
    LABELS unit)
