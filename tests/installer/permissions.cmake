# Permissions saved to their file and replayed on re-created objects, on
# the PostgreSQL of ./test.sh.
kelm_test(installer_permissions_pg_test
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/permissions_pg_test.cpp ${CMAKE_CURRENT_LIST_DIR}/pgtestutil.cpp
    LIBS dorvik-core kelm_testsupport PkgConfig::LIBPQ
    LABELS pg)
