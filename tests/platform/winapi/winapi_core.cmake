# The profile functions, folders, texts, errors and version records.
kelm_test(winapi_ini_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/ini_test.cpp
          LIBS platform-winapi kelm_testsupport LABELS unit)
kelm_test(winapi_system_test
          SOURCES ${CMAKE_CURRENT_LIST_DIR}/system_test.cpp
                  ${CMAKE_CURRENT_LIST_DIR}/types_odbc_first.cpp
                  ${CMAKE_CURRENT_LIST_DIR}/types_winapi_first.cpp
          LIBS platform-winapi kelm_testsupport PkgConfig::ODBC LABELS unit)
kelm_fuzz(fuzz_ini SOURCES ${CMAKE_CURRENT_LIST_DIR}/fuzz_ini.cpp LIBS platform-winapi
          CORPUS ${CMAKE_CURRENT_LIST_DIR}/ini_seeds)
