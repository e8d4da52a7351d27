# The document-selection dialog: its tree's rules over a scripted source and
# over the process tree on both engines, and the dialog on the test display.
kelm_test(doc_select_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/doc_select_test.cpp
          LIBS tarnwick-core kelm_adotest LABELS sqlite pg)
target_compile_definitions(doc_select_test PRIVATE WORKFLOW_FIXTURES="${CMAKE_SOURCE_DIR}/tests/charts/fixtures")
kelm_test(doc_select_window_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/doc_select_window_test.cpp
          ${CMAKE_SOURCE_DIR}/tests/charts/workflow_support.cpp
          LIBS tarnwick-ui kelm_adotest LABELS gui sqlite)
target_compile_definitions(doc_select_window_test PRIVATE KELM_TEST_OUTPUT="${CMAKE_BINARY_DIR}/test-output"
                           WORKFLOW_FIXTURES="${CMAKE_SOURCE_DIR}/tests/charts/fixtures")
set_tests_properties(doc_select_window_test PROPERTIES RESOURCE_LOCK display)
