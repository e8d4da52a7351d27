# The object tree's expansion of a schema of many tables beside a plain
# SQLTables walk, and the login dialog's list of many data sources beside a
# plain SQLDataSources walk.
kelm_bench(bench_odbc_tree
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/odbc_tree_bench.cpp
    LIBS orvoodbc kelm_testsupport)
