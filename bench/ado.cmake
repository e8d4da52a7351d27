# 100,000 rows read through the ADO layer beside the same read through plain
# ODBC calls, on SQLite and (when the test cluster runs) PostgreSQL.
kelm_bench(bench_ado SOURCES ${CMAKE_CURRENT_LIST_DIR}/ado_bench.cpp LIBS platform-ado kelm_testsupport)
