# The operation- and document-type selection dialogs of the process tree.
set(selection_fixture "${CMAKE_SOURCE_DIR}/tests/editor/fixtures/selection_catalogue.sql")
kelm_test(selection_dialogs_test SOURCES selection_dialogs_test.cpp LIBS tarnwick-core kelm_adotest LABELS sqlite pg)
target_compile_definitions(selection_dialogs_test PRIVATE WORKFLOW_FIXTURES="${CMAKE_SOURCE_DIR}/tests/charts/fixtures"
                           SELECTION_FIXTURE="${selection_fixture}")
kelm_test(selection_dialog_window_test SOURCES selection_dialog_window_test.cpp LIBS tarnwick-ui kelm_adotest
          LABELS gui sqlite TIMEOUT 240)
target_compile_definitions(selection_dialog_window_test PRIVATE KELM_TEST_OUTPUT="${CMAKE_BINARY_DIR}/test-output"
                           WORKFLOW_FIXTURES="${CMAKE_SOURCE_DIR}/tests/charts/fixtures"
                           SELECTION_FIXTURE="${selection_fixture}")
set_tests_properties(selection_dialog_window_test PROPERTIES RESOURCE_LOCK display)
