# Reading a packed entry beside plain zlib inflate, and the installer's
# CRC-32 beside zlib's crc32.
kelm_bench(bench_installer
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/installer_bench.cpp
    LIBS dorvik-packed ZLIB::ZLIB)
