# Reading keys through the profile functions beside wxFileConfig.
kelm_bench(bench_ini SOURCES ${CMAKE_CURRENT_LIST_DIR}/ini_bench.cpp
           LIBS platform-winapi ${wxWidgets_LIBRARIES})
