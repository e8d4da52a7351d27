# LoadBcp and ListChangedObjects through the interpreter on the PostgreSQL
# of ./test.sh.
kelm_test(installer_bulkcopy_pg_test
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/bulkcopy_pg_test.cpp
    LIBS dorvik-core kelm_testsupport PkgConfig::LIBPQ
    LABELS pg)
