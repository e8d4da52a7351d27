# The client programs run as children, and the checks a dump passes before
# anything is restored from it; no server needed.
kelm_test(dmo_tools_test
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/tools_test.cpp
    LIBS platform-dmo kelm_testsupport
    LABELS unit)
