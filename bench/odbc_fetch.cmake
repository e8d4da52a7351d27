# Bulk fetching through the database classes beside plain SQLFetchScroll with
# bound columns, on SQLite and on PostgreSQL.
kelm_bench(bench_odbc_fetch
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/odbc_fetch_bench.cpp
    LIBS platform-afx kelm_testsupport)
