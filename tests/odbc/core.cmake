# The display-free part alone: it links without the windows and wx, and
# falls back where the windows would be asked.
kelm_test(odbc_core_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/core_test.cpp
          LIBS orvoodbc-core LABELS unit)
