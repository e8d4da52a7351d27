kelm_test(afx_db_unit_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/db_unit_test.cpp
          LIBS platform-afx LABELS unit)
kelm_test(afx_db_engine_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/db_engine_test.cpp
          LIBS platform-afx kelm_testsupport LABELS sqlite pg)
