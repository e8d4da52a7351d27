# Start-up and the main run without a display: command line, INI path,
# quiet and interactive runs with a scripted view and scripted answers.
kelm_test(installer_mainrun_test
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/mainrun_test.cpp
    LIBS dorvik-core kelm_testsupport
    LABELS pg)
