# Maintenance jobs on pgAgent's tables and the maintenance tool, on the
# PostgreSQL of ./test.sh (the pgagent extension is created at its start).
kelm_test(installer_jobs_pg_test
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/jobs_pg_test.cpp ${CMAKE_CURRENT_LIST_DIR}/pgtestutil.cpp
    LIBS dorvik-core kelm_testsupport PkgConfig::LIBPQ
    LABELS pg)
