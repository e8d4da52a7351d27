# Structure synchronisation, table rebuilds and the canonical table script
# on the PostgreSQL of ./test.sh.
kelm_test(installer_sync_pg_test
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/sync_pg_test.cpp ${CMAKE_CURRENT_LIST_DIR}/pgtestutil.cpp
    LIBS dorvik-core kelm_testsupport PkgConfig::LIBPQ
    LABELS pg)
