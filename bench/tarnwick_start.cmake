# Tarnwick's silent connection at start on a named data source, counting the
# opens of the driver manager's data-source files, beside a plain
# SQLDriverConnect to the same data source.
if(TARGET tarnwick-core)
    kelm_bench(bench_tarnwick_start
        SOURCES ${CMAKE_CURRENT_LIST_DIR}/tarnwick_start_bench.cpp
                ${CMAKE_SOURCE_DIR}/tests/charts/chartdb_support.cpp
        LIBS tarnwick-core kelm_testsupport)
    if(TARGET bench_tarnwick_start)
        target_compile_definitions(bench_tarnwick_start PRIVATE KELM_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
    endif()
endif()
