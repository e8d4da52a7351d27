# Files read from disk: INI files through the profile functions, and the
# user's user-dirs.dirs.
kelm_fuzz(fuzz_ini_file SOURCES ${CMAKE_CURRENT_LIST_DIR}/fuzz_ini_file.cpp LIBS platform-winapi
          CORPUS ${CMAKE_CURRENT_LIST_DIR}/ini_seeds)
kelm_fuzz(fuzz_user_dirs SOURCES ${CMAKE_CURRENT_LIST_DIR}/fuzz_user_dirs.cpp LIBS platform-winapi
          CORPUS ${CMAKE_CURRENT_LIST_DIR}/user_dirs_seeds)
