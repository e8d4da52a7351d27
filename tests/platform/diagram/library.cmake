# The diagram library: model, components, connections, commands and undo
# without a display; drawing under Xvfb.
if(TARGET platform-diagram)
    kelm_test(diagram_model_test
        SOURCES ${CMAKE_CURRENT_LIST_DIR}/model_test.cpp ${CMAKE_CURRENT_LIST_DIR}/fixtures.cpp
        LIBS platform-diagram kelm_testsupport
        LABELS unit)
endif()

if(TARGET platform-diagram)
    kelm_test(diagram_draw_test
        SOURCES ${CMAKE_CURRENT_LIST_DIR}/draw_test.cpp ${CMAKE_CURRENT_LIST_DIR}/fixtures.cpp
        LIBS platform-diagram kelm_testsupport
        LABELS gui)
endif()

if(TARGET platform-diagram)
    kelm_test(diagram_symbols_test
        SOURCES ${CMAKE_CURRENT_LIST_DIR}/symbols_test.cpp
        LIBS platform-diagram
        LABELS unit)
endif()

if(TARGET platform-diagram)
    kelm_test(diagram_scroll_arithmetic_test
        SOURCES ${CMAKE_CURRENT_LIST_DIR}/scroll_arithmetic_test.cpp
        LIBS platform-diagram
        LABELS unit)
endif()

if(TARGET platform-diagram)
    kelm_test(diagram_wrapper_test
        SOURCES ${CMAKE_CURRENT_LIST_DIR}/wrapper_test.cpp ${CMAKE_CURRENT_LIST_DIR}/fixtures.cpp
        LIBS platform-diagram
        LABELS gui)
    target_compile_definitions(diagram_wrapper_test PRIVATE KELM_TEST_OUTPUT="${CMAKE_BINARY_DIR}/test-output")
    # It reads the screen.
    set_tests_properties(diagram_wrapper_test PROPERTIES RESOURCE_LOCK display)
endif()
