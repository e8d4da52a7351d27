# The department side: its tree without a display, its windows in-process.
kelm_test(department_tree_test SOURCES department_tree_test.cpp LIBS tarnwick-core kelm_adotest LABELS sqlite pg)
target_compile_definitions(department_tree_test PRIVATE WORKFLOW_FIXTURES="${CMAKE_SOURCE_DIR}/tests/charts/fixtures")
kelm_test(department_window_test SOURCES department_window_test.cpp LIBS tarnwick-ui kelm_adotest LABELS gui sqlite)
target_compile_definitions(department_window_test PRIVATE KELM_TEST_OUTPUT="${CMAKE_BINARY_DIR}/test-output"
                           WORKFLOW_FIXTURES="${CMAKE_SOURCE_DIR}/tests/charts/fixtures")
set_tests_properties(department_window_test PROPERTIES RESOURCE_LOCK display)
