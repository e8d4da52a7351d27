# Message-box prompts and the manual-reset event.
kelm_test(winapi_prompt_test
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/prompt_test.cpp
    LIBS platform-winapi
    LABELS unit)
