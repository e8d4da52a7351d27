# DBF table files: the file class compiled in directly, so that nothing else
# of the library has to build for these tests.
kelm_test(odbc_dbf_test
    SOURCES ${CMAKE_SOURCE_DIR}/odbc/dbf/dbffile.cpp ${CMAKE_CURRENT_LIST_DIR}/dbf_test.cpp
    LIBS platform-winapi kelm_testsupport
    LABELS unit)
if(TARGET odbc_dbf_test)
    target_compile_definitions(odbc_dbf_test PRIVATE
        KELM_DBF_FIXTURES="${CMAKE_CURRENT_LIST_DIR}/fixtures/dbf")
endif()

kelm_fuzz(odbc_dbf_fuzz
    SOURCES ${CMAKE_SOURCE_DIR}/odbc/dbf/dbffile.cpp ${CMAKE_CURRENT_LIST_DIR}/dbf_fuzz.cpp
    LIBS platform-winapi
    CORPUS ${CMAKE_CURRENT_LIST_DIR}/fixtures/dbf)

# The export, on the library's recordsets, against SQLite and PostgreSQL.
kelm_test(odbc_dbf_export_test
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/dbf_export_test.cpp
    LIBS orvoodbc kelm_testsupport
    LABELS sqlite pg)
