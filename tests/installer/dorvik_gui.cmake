# The dorvik program under Xvfb: a quiet run with its windows, a second
# instance, and the run dialogs driven inside the test process.
kelm_test(installer_dorvik_gui_test
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/dorvik_gui_test.cpp
    LIBS kelm_testsupport kelm_gtkprobe_client
    LABELS gui pg)
kelm_test(installer_dialogs_gui_test
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/dialogs_gui_test.cpp
    LIBS dorvik-ui kelm_testsupport
    LABELS gui pg
    TIMEOUT 300)
if(TARGET installer_dorvik_gui_test)
    target_compile_definitions(installer_dorvik_gui_test PRIVATE DORVIK_BIN="$<TARGET_FILE:dorvik>"
                               KELM_TEST_OUTPUT="${CMAKE_BINARY_DIR}/test-output")
    add_dependencies(installer_dorvik_gui_test dorvik)
    target_compile_definitions(installer_dialogs_gui_test PRIVATE KELM_TEST_OUTPUT="${CMAKE_BINARY_DIR}/test-output")
    set_property(TEST installer_dorvik_gui_test installer_dialogs_gui_test PROPERTY RESOURCE_LOCK display)
endif()
