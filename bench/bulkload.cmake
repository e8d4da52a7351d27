# 1,000,000 rows loaded through LoadBcp beside psql's \copy of the same
# file, and a quiet run of a kit whose steps do nothing beside the same
# steps run alone.
kelm_bench(bench_bulkload SOURCES ${CMAKE_CURRENT_LIST_DIR}/bulkload_bench.cpp
    LIBS dorvik-core kelm_testsupport)
