# Checksums and packed data files.
kelm_test(installer_packed_test
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/crc_test.cpp ${CMAKE_CURRENT_LIST_DIR}/packed_test.cpp
    LIBS dorvik-packed kelm_testsupport ZLIB::ZLIB
    LABELS unit)
if(TARGET installer_packed_test)
    add_dependencies(installer_packed_test dorvik-pack)
    target_compile_definitions(installer_packed_test PRIVATE DORVIK_PACK="$<TARGET_FILE:dorvik-pack>"
                               KELM_INSTALLER_FIXTURES="${CMAKE_CURRENT_LIST_DIR}/fixtures")
endif()
kelm_fuzz(installer_packed_fuzz
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/packed_fuzz.cpp
    LIBS dorvik-packed
    CORPUS ${CMAKE_CURRENT_LIST_DIR}/fixtures/packed-corpus)
