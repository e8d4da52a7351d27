kelm_test(odbc_connection_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/connection_test.cpp
          LIBS orvoodbc kelm_testsupport LABELS sqlite pg)
