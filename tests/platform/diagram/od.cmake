# The diagram library's header code: collections and controller commands.
if(TARGET platform-diagram)
    kelm_test(diagram_library_test
        SOURCES ${CMAKE_CURRENT_LIST_DIR}/collections_test.cpp
        LIBS platform-diagram
        LABELS unit)
endif()

if(TARGET platform-diagram)
    kelm_test(diagram_controller_test
        SOURCES ${CMAKE_CURRENT_LIST_DIR}/controller_test.cpp
        LIBS platform-diagram kelm_testsupport
        LABELS unit)
endif()
