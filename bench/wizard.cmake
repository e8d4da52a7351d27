# The wizard's folder chooser: one level listed per expansion, beside a walk
# of the whole tree and std::filesystem's listing of one folder.
kelm_bench(bench_wizard
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/wizard_bench.cpp
    LIBS dorvik-core)
