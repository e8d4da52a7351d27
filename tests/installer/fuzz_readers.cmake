# Kit texts (script files and step lines) and the permissions file.
kelm_fuzz(installer_script_text_fuzz
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/script_text_fuzz.cpp
    LIBS dorvik-packed
    CORPUS ${CMAKE_CURRENT_LIST_DIR}/fixtures/script-corpus)
kelm_fuzz(installer_permissions_fuzz
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/permissions_fuzz.cpp ${CMAKE_SOURCE_DIR}/installer/commands/scriptlist.cpp
            ${CMAKE_SOURCE_DIR}/installer/common/slist.cpp
    LIBS dorvik-packed
    CORPUS ${CMAKE_CURRENT_LIST_DIR}/fixtures/permissions-corpus)
