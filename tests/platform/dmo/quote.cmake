# Quoting of names and values, and what the server makes of them.
kelm_test(dmo_quote_test
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/quote_test.cpp
    LIBS platform-dmo platform-winapi kelm_testsupport
    LABELS pg)
