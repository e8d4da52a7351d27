if(TARGET platform-diagram)
    kelm_test(diagram_propsheet_test
        SOURCES ${CMAKE_CURRENT_LIST_DIR}/propsheet_test.cpp ${CMAKE_CURRENT_LIST_DIR}/fixtures.cpp
        LIBS platform-diagram
        LABELS gui)
endif()
