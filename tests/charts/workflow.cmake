# The workflow chart: elements, models, documents and their database rows.
if(TARGET tarnwick-charts)
    kelm_test(workflow_elements_test
        SOURCES ${CMAKE_CURRENT_LIST_DIR}/workflow_elements_test.cpp
                ${CMAKE_CURRENT_LIST_DIR}/workflow_support.cpp
        LIBS tarnwick-charts kelm_testsupport
        LABELS unit)
    target_compile_definitions(workflow_elements_test PRIVATE
        KELM_SOURCE_DIR="${CMAKE_SOURCE_DIR}" WORKFLOW_FIXTURES="${CMAKE_CURRENT_LIST_DIR}/fixtures")
    kelm_test(workflow_db_test
        SOURCES ${CMAKE_CURRENT_LIST_DIR}/workflow_db_test.cpp
                ${CMAKE_CURRENT_LIST_DIR}/workflow_support.cpp
        LIBS tarnwick-charts kelm_testsupport
        LABELS sqlite pg)
    target_compile_definitions(workflow_db_test PRIVATE
        KELM_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
endif()

if(TARGET tarnwick-charts)
    kelm_test(workflow_draw_test
        SOURCES ${CMAKE_CURRENT_LIST_DIR}/workflow_draw_test.cpp
                ${CMAKE_CURRENT_LIST_DIR}/workflow_support.cpp
        LIBS tarnwick-charts kelm_testsupport
        LABELS gui)
    target_compile_definitions(workflow_draw_test PRIVATE KELM_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
endif()
