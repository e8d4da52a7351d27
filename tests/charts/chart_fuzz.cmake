# Chart files and the drawings of chart elements, from outside bytes.
if(TARGET tarnwick-charts)
    kelm_fuzz(charts_chart_fuzz
        SOURCES ${CMAKE_CURRENT_LIST_DIR}/chart_fuzz.cpp
        LIBS tarnwick-charts
        CORPUS ${CMAKE_CURRENT_LIST_DIR}/fixtures/chart-corpus)
endif()
