# Dorvik's database operations on PostgreSQL: structure sync of 50 and 200
# tables with 10 changed, beside psql altering those 10 by hand; saving and
# restoring the permissions of 250 and 1,000 tables, beside psql running
# the bare GRANT statements.
if(TARGET dorvik-core)
    kelm_bench(bench_dorvik_db
        SOURCES ${CMAKE_CURRENT_LIST_DIR}/dorvik_db_bench.cpp ${CMAKE_SOURCE_DIR}/tests/installer/pgtestutil.cpp
        LIBS dorvik-core kelm_testsupport PkgConfig::LIBPQ)
endif()
