kelm_test(odbc_recordsets_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/recordsets_test.cpp
          LIBS orvoodbc kelm_testsupport LABELS sqlite pg)
