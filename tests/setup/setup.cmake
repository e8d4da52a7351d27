# setup and uninstall: App.ini, Files.dat and the command line (unit); the
# runs in a sandbox with the real programs; the windows under Xvfb.
if(KELM_FUZZ)
    return()
endif()

kelm_test(setup_unit_test
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/appini_test.cpp
    LIBS setup-core kelm_testsupport
    LABELS unit)

add_library(setup_sandbox STATIC ${CMAKE_CURRENT_LIST_DIR}/sandbox.cpp)
target_link_libraries(setup_sandbox PUBLIC kelm_testsupport platform-winapi GTest::gtest)
target_compile_definitions(setup_sandbox PUBLIC KELM_SOURCE_DIR="${CMAKE_SOURCE_DIR}"
    WINAPI_REG_TOOL="$<TARGET_FILE:winapi-reg>" SETUP_BIN="$<TARGET_FILE:setup>"
    UNINSTALL_BIN="$<TARGET_FILE:uninstall>")
add_dependencies(setup_sandbox setup uninstall winapi-reg)

# Preloaded into the programs to see which libraries they had mapped, and
# to kill them in the middle of a copy.
add_library(setup_mapsdump MODULE ${CMAKE_CURRENT_LIST_DIR}/mapsdump.cpp)
add_library(setup_killcopy MODULE ${CMAKE_CURRENT_LIST_DIR}/killcopy.cpp)
target_link_libraries(setup_killcopy PRIVATE ${CMAKE_DL_LIBS})

kelm_test(setup_sandbox_test
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/sandbox_test.cpp
    LIBS setup-core setup_sandbox PkgConfig::ODBC
    LABELS unit)
target_compile_definitions(setup_sandbox_test PRIVATE MAPS_DUMP="$<TARGET_FILE:setup_mapsdump>"
    KILL_COPY="$<TARGET_FILE:setup_killcopy>")
add_dependencies(setup_sandbox_test setup_mapsdump setup_killcopy)

kelm_test(setup_presenter_test
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/presenter_test.cpp
    LIBS setup-core setup_sandbox
    LABELS unit)

kelm_test(setup_gui_test
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/gui_test.cpp
    LIBS setup-wx setup_sandbox kelm_gtkprobe_client
    LABELS gui)
target_compile_definitions(setup_gui_test PRIVATE KELM_TEST_OUTPUT="${CMAKE_BINARY_DIR}/test-output")
set_tests_properties(setup_gui_test PROPERTIES RESOURCE_LOCK display)
