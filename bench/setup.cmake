# setup and uninstall of a 5,000-file kit beside cp -r and rm -r.
kelm_bench(bench_setup
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/setup_bench.cpp
    LIBS platform-winapi)
if(TARGET bench_setup)
    target_compile_definitions(bench_setup PRIVATE SETUP_BIN="$<TARGET_FILE:setup>")
    add_dependencies(bench_setup setup uninstall)
endif()
