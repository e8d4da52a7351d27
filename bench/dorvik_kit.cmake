# Dorvik's Script step beside the same statement sent through libpq, and a
# quiet install of the demo kit beside psql loading the same schema and
# data; each figure is a median over repetitions, with its spread.
if(TARGET dorvik-core)
    kelm_bench(bench_dorvik_kit
        SOURCES ${CMAKE_CURRENT_LIST_DIR}/dorvik_kit_bench.cpp
        LIBS dorvik-core kelm_testsupport PkgConfig::LIBPQ)
    if(TARGET bench_dorvik_kit)
        target_compile_definitions(bench_dorvik_kit PRIVATE KELM_DEMO_KIT="${KELM_DEMO_KIT}")
        add_dependencies(bench_dorvik_kit kit-demo)
    endif()
endif()
