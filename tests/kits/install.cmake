# The installed layout: cmake --install into a staging folder and in place,
# the programs run from there, and the Debian package cpack makes of it.
if(TARGET tarnwick AND TARGET dorvik AND TARGET setup_sandbox)
    kelm_test(install_test
        SOURCES ${CMAKE_CURRENT_LIST_DIR}/install_test.cpp
        LIBS setup_sandbox kelm_testsupport ${wxWidgets_LIBRARIES}
        LABELS pg gui
        TIMEOUT 900)
    target_compile_definitions(install_test PRIVATE KELM_BUILD_DIR="${CMAKE_BINARY_DIR}"
                               CMAKE_BIN="${CMAKE_COMMAND}" CPACK_BIN="${CMAKE_CPACK_COMMAND}"
                               KELM_INSTALL_LIBDIR="${KELM_INSTALL_LIBDIR}"
                               KELM_INSTALL_KITDIR="${KELM_INSTALL_KITDIR}"
                               KELM_TEST_OUTPUT="${CMAKE_BINARY_DIR}/test-output")
    set_tests_properties(install_test PROPERTIES RESOURCE_LOCK display)
    # Everything the install takes from the tree.
    add_dependencies(install_test tarnwick dorvik setup uninstall start sqlmaint dorvik-pack orvoodbc kit-demo)
endif()
