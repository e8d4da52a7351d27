# Table names as users write them, and bulk files loaded with COPY.
kelm_test(dmo_bulkload_test
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/bulkload_test.cpp
    LIBS platform-dmo platform-winapi kelm_testsupport PkgConfig::LIBPQ
    LABELS pg)
