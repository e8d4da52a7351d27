# Opening a 1,000-state chart from PostgreSQL to its first painted window in
# the program's frame, beside loading the same chart without a window.
if(TARGET tarnwick-ui)
    kelm_bench(bench_open_chart
        SOURCES ${CMAKE_CURRENT_LIST_DIR}/open_chart_bench.cpp
                ${CMAKE_SOURCE_DIR}/tests/charts/chartdb_support.cpp
        LIBS tarnwick-ui kelm_testsupport)
    if(TARGET bench_open_chart)
        target_compile_definitions(bench_open_chart PRIVATE KELM_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
    endif()
endif()
