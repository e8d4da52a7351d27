# The installer INI file read into the step list, and the steps' macros.
kelm_test(installer_installdata_test
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/installdata_test.cpp
    LIBS dorvik-core kelm_testsupport
    LABELS unit)
