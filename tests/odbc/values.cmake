kelm_test(odbc_values_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/values_test.cpp
          LIBS orvoodbc LABELS unit)
kelm_test(odbc_values_db_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/values_db_test.cpp
          LIBS orvoodbc kelm_testsupport LABELS sqlite pg)
