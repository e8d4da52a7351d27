# Expanding a group of 500 processes in the process tree on PostgreSQL,
# beside one join that reads the same rows.
if(TARGET tarnwick-core)
    kelm_bench(bench_tree
        SOURCES ${CMAKE_CURRENT_LIST_DIR}/tree_bench.cpp
                ${CMAKE_SOURCE_DIR}/tests/charts/chartdb_support.cpp
        LIBS tarnwick-core kelm_testsupport)
    if(TARGET bench_tree)
        target_compile_definitions(bench_tree PRIVATE KELM_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
    endif()
endif()
