# What the chart windows paint, read back from the test display while the
# pointer draws, moves and places elements.
kelm_test(chart_picture_window_test SOURCES chart_picture_window_test.cpp LIBS tarnwick-ui kelm_adotest LABELS gui sqlite)
target_compile_definitions(chart_picture_window_test PRIVATE KELM_TEST_OUTPUT="${CMAKE_BINARY_DIR}/test-output")
# It moves the pointer and reads the screen.
set_tests_properties(chart_picture_window_test PROPERTIES RESOURCE_LOCK display)
