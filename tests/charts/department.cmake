# The department chart: model, rows and arrangement.
if(TARGET tarnwick-charts)
    kelm_test(department_model_test
        SOURCES ${CMAKE_CURRENT_LIST_DIR}/department_model_test.cpp
                ${CMAKE_CURRENT_LIST_DIR}/workflow_support.cpp
        LIBS tarnwick-charts kelm_testsupport
        LABELS sqlite pg)
    target_compile_definitions(department_model_test PRIVATE KELM_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
endif()
