# SQL text tools, compiled in directly.
kelm_test(odbc_sqltext_test
    SOURCES ${CMAKE_SOURCE_DIR}/odbc/sql/sqltext.cpp ${CMAKE_CURRENT_LIST_DIR}/sqltext_test.cpp
    LIBS platform-winapi
    LABELS unit)

kelm_fuzz(odbc_sqltext_fuzz
    SOURCES ${CMAKE_SOURCE_DIR}/odbc/sql/sqltext.cpp ${CMAKE_CURRENT_LIST_DIR}/sqltext_fuzz.cpp
    LIBS platform-winapi
    CORPUS ${CMAKE_CURRENT_LIST_DIR}/fixtures/sqltext)
