# What the progress dialog shows, set from another thread.
kelm_test(installer_progress_test
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/progress_test.cpp
    LIBS dorvik-core
    LABELS unit)
