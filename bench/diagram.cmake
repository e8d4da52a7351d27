# The diagram library at 1x and 4x a large chart: save, load, hit testing and drawing.
if(TARGET platform-diagram)
    kelm_bench(bench_diagram
        SOURCES ${CMAKE_CURRENT_LIST_DIR}/diagram_bench.cpp
        LIBS platform-diagram)
endif()
