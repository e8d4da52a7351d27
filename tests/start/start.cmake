# start: Start.ini rules and pixel arithmetic without a display; the window
# in-process under Xvfb; the program itself started as a user starts it.
if(TARGET start-core)
    kelm_test(start_ini_test
        SOURCES ${CMAKE_CURRENT_LIST_DIR}/startini_test.cpp
        LIBS start-core kelm_testsupport
        LABELS unit)
    kelm_test(shell_open_test
        SOURCES ${CMAKE_CURRENT_LIST_DIR}/shellopen_test.cpp
        LIBS platform-winapi kelm_testsupport
        LABELS unit)
endif()
if(TARGET start-ui)
    kelm_test(start_window_test
        SOURCES ${CMAKE_CURRENT_LIST_DIR}/startwnd_test.cpp
        LIBS start-ui kelm_testsupport
        LABELS gui)
    set_tests_properties(start_window_test PROPERTIES RESOURCE_LOCK display)
    target_compile_definitions(start_window_test PRIVATE KELM_TEST_OUTPUT="${CMAKE_BINARY_DIR}/test-output")
    kelm_test(start_program_test
        SOURCES ${CMAKE_CURRENT_LIST_DIR}/startprogram_test.cpp
        LIBS start-ui kelm_testsupport kelm_gtkprobe_client
        LABELS gui)
    target_compile_definitions(start_program_test PRIVATE START_BIN="$<TARGET_FILE:start>"
                               KELM_DEMO_KIT="${KELM_DEMO_KIT}"
                               KELM_TEST_OUTPUT="${CMAKE_BINARY_DIR}/test-output")
    set_tests_properties(start_program_test PROPERTIES RESOURCE_LOCK display)
    add_dependencies(start_program_test start kit-demo)
endif()
