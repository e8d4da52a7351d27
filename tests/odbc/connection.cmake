kelm_test(odbc_connection_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/connection_test.cpp
          LIBS orvoodbc kelm_testsupport LABELS sqlite pg)
kelm_test(odbc_dsn_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/dsn_test.cpp
          LIBS orvoodbc kelm_testsupport LABELS sqlite)
kelm_test(odbc_host_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/host/host_test.cpp
          LIBS orvoodbc quillmark kelm_testsupport LABELS sqlite pg)
kelm_test(odbc_login_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/login_test.cpp
          LIBS orvoodbc quillmark kelm_testsupport LABELS sqlite)
kelm_test(odbc_listfillers_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/listfillers_test.cpp
          LIBS orvoodbc kelm_testsupport LABELS sqlite pg)
kelm_test(odbc_objectscripts_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/objectscripts_test.cpp
          LIBS orvoodbc kelm_testsupport LABELS sqlite pg)
kelm_test(odbc_dbobjecttree_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/dbobjecttree_test.cpp
          LIBS orvoodbc kelm_testsupport LABELS sqlite pg)
kelm_test(odbc_gui_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/odbc_gui_test.cpp
          LIBS orvoodbc kelm_testsupport kelm_gtkprobe_client LABELS gui pg)
# The fuzz tree declares no tests.
if(TARGET odbc_gui_test)
    set_tests_properties(odbc_gui_test PROPERTIES RESOURCE_LOCK display)
    target_compile_definitions(odbc_gui_test PRIVATE KELM_TEST_OUTPUT="${CMAKE_BINARY_DIR}/test-output")
endif()
