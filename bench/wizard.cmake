# The wizard's folder chooser: one level listed per expansion, beside a walk
# of the whole tree and std::filesystem's listing of one folder.
kelm_bench(bench_wizard
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/wizard_bench.cpp
    LIBS dorvik-core)

# Each page of the wizard's sheet shown on a small kit against the test
# cluster, beside the same page's controls with no rules of their own.
if(TARGET dorvik-ui)
    kelm_bench(bench_wizard_pages
        SOURCES ${CMAKE_CURRENT_LIST_DIR}/wizard_pages_bench.cpp
        LIBS dorvik-ui kelm_testsupport)
endif()
