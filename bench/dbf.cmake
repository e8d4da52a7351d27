# Rows from PostgreSQL to a DBF file beside psql writing them as CSV.
kelm_bench(bench_dbf
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/dbf_bench.cpp
    LIBS orvoodbc kelm_testsupport)
