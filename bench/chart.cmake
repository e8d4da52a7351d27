# Saving and loading a workflow chart of 1,000 states, 3,000 moves and 3,000
# actions, twice and four times that, on PostgreSQL, beside psql sending the
# same rows as plain INSERTs.
if(TARGET tarnwick-charts)
    kelm_bench(bench_chart
        SOURCES ${CMAKE_CURRENT_LIST_DIR}/chart_bench.cpp
                ${CMAKE_SOURCE_DIR}/tests/charts/chartdb_support.cpp
        LIBS tarnwick-charts kelm_testsupport)
    if(TARGET bench_chart)
        target_compile_definitions(bench_chart PRIVATE KELM_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
    endif()
endif()
