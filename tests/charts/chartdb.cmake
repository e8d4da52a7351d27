# Saving, checking and loading a workflow chart.
if(TARGET tarnwick-charts)
    kelm_test(chartdb_check_test
        SOURCES ${CMAKE_CURRENT_LIST_DIR}/chartdb_check_test.cpp
                ${CMAKE_CURRENT_LIST_DIR}/workflow_support.cpp
        LIBS tarnwick-charts kelm_testsupport
        LABELS unit)
    target_compile_definitions(chartdb_check_test PRIVATE KELM_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
endif()

if(TARGET tarnwick-charts)
    kelm_test(chartdb_cycle_test
        SOURCES ${CMAKE_CURRENT_LIST_DIR}/chartdb_cycle_test.cpp
                ${CMAKE_CURRENT_LIST_DIR}/workflow_support.cpp
        LIBS tarnwick-charts kelm_testsupport
        LABELS sqlite pg)
    target_compile_definitions(chartdb_cycle_test PRIVATE
        KELM_SOURCE_DIR="${CMAKE_SOURCE_DIR}" WORKFLOW_FIXTURES="${CMAKE_CURRENT_LIST_DIR}/fixtures")
endif()

if(TARGET tarnwick-charts)
    kelm_test(chartdb_concurrent_test
        SOURCES ${CMAKE_CURRENT_LIST_DIR}/chartdb_concurrent_test.cpp
                ${CMAKE_CURRENT_LIST_DIR}/chartdb_support.cpp
                ${CMAKE_CURRENT_LIST_DIR}/workflow_support.cpp
        LIBS tarnwick-charts kelm_testsupport
        LABELS sqlite pg)
    target_compile_definitions(chartdb_concurrent_test PRIVATE
        KELM_SOURCE_DIR="${CMAKE_SOURCE_DIR}" WORKFLOW_FIXTURES="${CMAKE_CURRENT_LIST_DIR}/fixtures")
endif()

if(TARGET tarnwick-views)
    kelm_test(chart_commands_test
        SOURCES ${CMAKE_CURRENT_LIST_DIR}/chart_commands_test.cpp
                ${CMAKE_CURRENT_LIST_DIR}/workflow_support.cpp
        LIBS tarnwick-views kelm_testsupport
        LABELS sqlite pg)
    target_compile_definitions(chart_commands_test PRIVATE
        KELM_SOURCE_DIR="${CMAKE_SOURCE_DIR}" WORKFLOW_FIXTURES="${CMAKE_CURRENT_LIST_DIR}/fixtures")
endif()
