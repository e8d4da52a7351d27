# The wizard's pages and dialogs: their rules with fakes, the login and the
# patch page against the test cluster, and the sheet walked under Xvfb.
kelm_test(installer_wizardpages_test
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/wizardpages_test.cpp
    LIBS dorvik-core kelm_testsupport
    LABELS unit)
kelm_test(installer_wizard_gui_test
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/wizard_gui_test.cpp
    TIMEOUT 300
    LIBS dorvik-ui kelm_testsupport
    LABELS gui pg)
if(TARGET installer_wizard_gui_test)
    target_compile_definitions(installer_wizard_gui_test PRIVATE KELM_TEST_OUTPUT="${CMAKE_BINARY_DIR}/test-output")
    set_property(TEST installer_wizard_gui_test PROPERTY RESOURCE_LOCK display)
endif()
kelm_test(installer_wizard_pg_test
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/wizard_pg_test.cpp
    LIBS dorvik-core kelm_testsupport
    LABELS pg)
