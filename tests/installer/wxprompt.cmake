# Real message boxes: a worker's question reaches the user-interface thread.
kelm_test(installer_wxprompt_test
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/wxprompt_test.cpp
    LIBS installer-wxprompt dorvik-core
    LABELS gui)
