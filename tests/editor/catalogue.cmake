# The catalogue editing of the process tree, its selection dialogs and the about box.
kelm_test(about_box_test SOURCES about_box_test.cpp LIBS tarnwick-core kelm_testsupport LABELS unit)
kelm_test(catalogue_window_test SOURCES catalogue_windows.cpp about_box_window_test.cpp
          LIBS tarnwick-ui kelm_adotest LABELS gui sqlite)
target_compile_definitions(catalogue_window_test PRIVATE KELM_TEST_OUTPUT="${CMAKE_BINARY_DIR}/test-output"
                           WORKFLOW_FIXTURES="${CMAKE_SOURCE_DIR}/tests/charts/fixtures")
set_tests_properties(catalogue_window_test PROPERTIES RESOURCE_LOCK display)
