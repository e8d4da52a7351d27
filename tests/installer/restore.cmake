# Restoring a database from a dump and removing databases, on the
# PostgreSQL of ./test.sh.
kelm_test(installer_restore_pg_test
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/restore_pg_test.cpp ${CMAKE_CURRENT_LIST_DIR}/pgtestutil.cpp
    LIBS dorvik-core kelm_testsupport PkgConfig::LIBPQ
    LABELS pg)
# The dorvik program killed in the middle of a restore; its full-screen
# window must not show in other tests' screenshots.
kelm_test(installer_restore_kill_test
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/restore_kill_test.cpp ${CMAKE_CURRENT_LIST_DIR}/pgtestutil.cpp
    LIBS dorvik-core kelm_testsupport PkgConfig::LIBPQ
    LABELS pg gui)
if(TARGET installer_restore_kill_test)
    target_compile_definitions(installer_restore_kill_test PRIVATE DORVIK_BIN="$<TARGET_FILE:dorvik>")
    add_dependencies(installer_restore_kill_test dorvik)
    set_tests_properties(installer_restore_kill_test PROPERTIES RESOURCE_LOCK display)
endif()
