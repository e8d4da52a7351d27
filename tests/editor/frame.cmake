# The main frame as the user meets it: its caption, tree bar, toolbars and
# recent files, driven with real input on the test display.
kelm_test(frame_window_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/frame_window_test.cpp
          ${CMAKE_CURRENT_LIST_DIR}/catalogue_windows.cpp LIBS tarnwick-ui kelm_adotest
          LABELS gui sqlite)
target_compile_definitions(frame_window_test PRIVATE KELM_TEST_OUTPUT="${CMAKE_BINARY_DIR}/test-output"
                           WORKFLOW_FIXTURES="${CMAKE_SOURCE_DIR}/tests/charts/fixtures")
set_tests_properties(frame_window_test PROPERTIES RESOURCE_LOCK display)
