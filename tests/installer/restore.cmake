# Restoring a database from a dump and removing databases, on the
# PostgreSQL of ./test.sh.
kelm_test(installer_restore_pg_test
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/restore_pg_test.cpp ${CMAKE_CURRENT_LIST_DIR}/pgtestutil.cpp
    LIBS dorvik-core kelm_testsupport PkgConfig::LIBPQ
    LABELS pg)
