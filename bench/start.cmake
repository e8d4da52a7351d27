# start: how soon its window shows, beside a plain frame showing the same
# picture, and what a hover repaints, beside repainting the whole window.
if(TARGET start-ui)
    kelm_bench(bench_start
        SOURCES ${CMAKE_CURRENT_LIST_DIR}/start_bench.cpp
        LIBS start-ui)
    if(TARGET bench_start)
        target_compile_definitions(bench_start PRIVATE KELM_DEMO_KIT="${KELM_DEMO_KIT}")
        add_dependencies(bench_start kit-demo)
    endif()
endif()
