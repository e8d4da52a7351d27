# The installation engine run headless on the PostgreSQL of ./test.sh, with
# a recording progress and scripted answers.
kelm_test(installer_engine_test
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/engine_test.cpp
    LIBS dorvik-core kelm_testsupport
    LABELS pg)
if(TARGET installer_engine_test)
    target_compile_definitions(installer_engine_test PRIVATE KELM_FIXTURES="${CMAKE_CURRENT_LIST_DIR}/fixtures"
                               KELM_TEST_OUTPUT="${CMAKE_BINARY_DIR}/test-output")
endif()
