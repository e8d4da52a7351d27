# The command language, file manager and log (no server), and the script
# commands on the PostgreSQL of ./test.sh.
kelm_test(installer_core_test
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/list_test.cpp ${CMAKE_CURRENT_LIST_DIR}/commander_test.cpp
            ${CMAKE_CURRENT_LIST_DIR}/filemanager_test.cpp ${CMAKE_CURRENT_LIST_DIR}/log_test.cpp
    LIBS dorvik-core kelm_testsupport
    LABELS unit)
kelm_test(installer_script_pg_test
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/script_pg_test.cpp
    LIBS dorvik-core kelm_testsupport PkgConfig::LIBPQ
    LABELS pg)
