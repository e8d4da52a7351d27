# The suite's main road on the staged demo kit: Dorvik installs it in quiet
# mode (from bulk files and from the dump), a rerun keeps it, and Tarnwick
# opens on it, as a program and in this process on its frame and tree.
if(TARGET dorvik AND TARGET tarnwick AND TARGET tarnwick-ui)
    kelm_test(demo_kit_test
        SOURCES ${CMAKE_CURRENT_LIST_DIR}/demo_kit_test.cpp
        LIBS tarnwick-ui kelm_testsupport
        LABELS pg gui)
    target_compile_definitions(demo_kit_test PRIVATE DORVIK_BIN="$<TARGET_FILE:dorvik>"
                               TARNWICK_BIN="$<TARGET_FILE:tarnwick>" KELM_DEMO_KIT="${KELM_DEMO_KIT}"
                               KELM_TEST_OUTPUT="${CMAKE_BINARY_DIR}/test-output")
    set_tests_properties(demo_kit_test PROPERTIES RESOURCE_LOCK display)
    add_dependencies(demo_kit_test dorvik tarnwick kit-demo)
endif()
