# The registry store (with the winapi-reg tool as the other process),
# processes and pidfds, desktop-entry shortcuts and path rules.
kelm_test(winapi_registry_test
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/registry_test.cpp
    LIBS platform-winapi kelm_testsupport
    LABELS unit)
if(TARGET winapi_registry_test)
    target_compile_definitions(winapi_registry_test PRIVATE WINAPI_REG_TOOL="$<TARGET_FILE:winapi-reg>")
    add_dependencies(winapi_registry_test winapi-reg)
endif()
