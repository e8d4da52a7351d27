# The server object, its databases and statement results on PostgreSQL.
kelm_test(dmo_server_test
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/server_test.cpp
    LIBS platform-dmo platform-winapi kelm_testsupport
    LABELS pg)
