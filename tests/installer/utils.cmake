# The shared utility functions: message boxes through a scripted prompt,
# folders on a temporary tree, progress texts, the string table.
kelm_test(installer_utils_test
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/utils_test.cpp
    LIBS dorvik-core kelm_testsupport
    LABELS unit)
