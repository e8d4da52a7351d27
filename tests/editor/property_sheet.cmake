# The property sheet of chart elements: its pages headless on both engines,
# the sheet itself on a chart window.
kelm_test(property_pages_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/property_pages_test.cpp ${CMAKE_SOURCE_DIR}/tests/charts/workflow_support.cpp
          LIBS tarnwick-core kelm_testsupport LABELS sqlite pg)
target_compile_definitions(property_pages_test PRIVATE WORKFLOW_FIXTURES="${CMAKE_SOURCE_DIR}/tests/charts/fixtures"
                           KELM_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
kelm_test(property_sheet_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/property_sheet_test.cpp LIBS tarnwick-ui kelm_adotest LABELS gui sqlite)
target_compile_definitions(property_sheet_test PRIVATE KELM_TEST_OUTPUT="${CMAKE_BINARY_DIR}/test-output"
                           WORKFLOW_FIXTURES="${CMAKE_SOURCE_DIR}/tests/charts/fixtures")
set_tests_properties(property_sheet_test PROPERTIES RESOURCE_LOCK display)
