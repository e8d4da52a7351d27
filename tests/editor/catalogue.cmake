kelm_test(about_box_test SOURCES about_box_test.cpp LIBS tarnwick-core kelm_testsupport LABELS unit)
