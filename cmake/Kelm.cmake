# Build rules shared by every folder of the suite.

add_compile_options(-Wall -Wextra -Wno-unused-parameter)
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
    # g++ 12 reports bogus overlaps, bounds and over-reads inside inlined
    # std::string and std::vector copies once optimising (GCC bugs 105329,
    # 105651); the sanitised tree keeps these warnings.
    foreach(flag -Wno-restrict -Wno-array-bounds -Wno-stringop-overread -Wno-stringop-overflow)
        add_compile_options($<$<CONFIG:Release,RelWithDebInfo>:${flag}>)
    endforeach()
endif()

if(KELM_FUZZ)
    if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
        message(FATAL_ERROR "The fuzz tree needs clang (CXX=clang++)")
    endif()
    add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer -g)
    add_link_options(-fsanitize=address,undefined)
elseif(KELM_SANITIZE)
    add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=undefined
                        -fno-omit-frame-pointer -g)
    add_link_options(-fsanitize=address,undefined)
endif()

configure_file(${CMAKE_SOURCE_DIR}/cmake/version.h.in
               ${CMAKE_BINARY_DIR}/generated/kelm_version.h @ONLY)
include_directories(${CMAKE_BINARY_DIR}/generated ${CMAKE_SOURCE_DIR})

find_package(PkgConfig REQUIRED)
pkg_check_modules(ODBC REQUIRED IMPORTED_TARGET odbc)
pkg_check_modules(ODBCINST REQUIRED IMPORTED_TARGET odbcinst)
pkg_check_modules(LIBPQ REQUIRED IMPORTED_TARGET libpq)
find_package(ZLIB REQUIRED)
find_package(Threads REQUIRED)
if(KELM_TESTS)
    find_package(GTest REQUIRED)
    find_package(benchmark QUIET)
endif()

# The fuzz tree too: the chart classes it fuzzes are built on wx.
find_package(wxWidgets 3.2 REQUIRED COMPONENTS core base adv aui xrc html xml)
include(${wxWidgets_USE_FILE})

set(KELM_LSAN_SUPP ${CMAKE_SOURCE_DIR}/tests/lsan.supp)

# kelm_test(<name> SOURCES ... [LIBS ...] [LABELS unit|sqlite|pg|gui ...])
# One ctest test per executable; the label says what the test needs.
# kelm_test(<name> RUNS <executable> [SOURCES ... LIBS ...] ARGS ...) runs a
# part of an executable (a gtest filter in ARGS) as a test of its own; the
# first test that names the executable gives its sources.
function(kelm_test name)
    if(KELM_FUZZ)
        return()
    endif()
    cmake_parse_arguments(T "" "TIMEOUT;RUNS" "SOURCES;LIBS;LABELS;ARGS" ${ARGN})
    set(exe ${name})
    if(T_RUNS)
        set(exe ${T_RUNS})
    endif()
    if(NOT T_RUNS OR NOT TARGET ${exe})
        add_executable(${exe} ${T_SOURCES})
        target_link_libraries(${exe} PRIVATE GTest::gtest_main GTest::gmock Threads::Threads ${T_LIBS})
    endif()
    add_test(NAME ${name} COMMAND ${exe} ${T_ARGS})
    if(NOT T_LABELS)
        set(T_LABELS unit)
    endif()
    if(NOT T_TIMEOUT)
        set(T_TIMEOUT 600)
    endif()
    set(env "LSAN_OPTIONS=suppressions=${KELM_LSAN_SUPP}:print_suppressions=0")
    if("gui" IN_LIST T_LABELS)
        # wx and GTK keep process-lifetime allocations that LeakSanitizer reports.
        list(APPEND env "ASAN_OPTIONS=detect_leaks=0")
    endif()
    set_tests_properties(${name} PROPERTIES LABELS "${T_LABELS}" TIMEOUT ${T_TIMEOUT}
                         ENVIRONMENT "${env}")
    if("gui" IN_LIST T_LABELS)
        # The window tests share one X display: pointer moves, key presses,
        # focus and screenshots of two at once land in each other's windows.
        set_property(TEST ${name} APPEND PROPERTY RESOURCE_LOCK display)
    endif()
endfunction()

# kelm_fuzz(<name> SOURCES ... [LIBS ...] CORPUS <seed folder>)
# The fuzz tree builds a libFuzzer target that ctest runs for a few seconds
# (label fuzz); the ordinary tree builds the same entry point with a small
# driver that feeds it every seed once (label unit), so the targets never rot.
function(kelm_fuzz name)
    cmake_parse_arguments(F "" "CORPUS" "SOURCES;LIBS" ${ARGN})
    if(KELM_FUZZ)
        add_executable(${name} ${F_SOURCES})
        target_link_options(${name} PRIVATE -fsanitize=fuzzer)
        target_link_libraries(${name} PRIVATE ${F_LIBS})
        set(work ${CMAKE_BINARY_DIR}/fuzz-work/${name})
        file(MAKE_DIRECTORY ${work})
        if(NOT DEFINED ENV{KELM_FUZZ_SECONDS})
            set(secs 5)
        else()
            set(secs $ENV{KELM_FUZZ_SECONDS})
        endif()
        add_test(NAME ${name}
                 COMMAND ${name} -max_total_time=${secs} -timeout=10 -rss_limit_mb=4096
                         -print_final_stats=0 ${work} ${F_CORPUS})
        set_tests_properties(${name} PROPERTIES LABELS fuzz TIMEOUT 300
            ENVIRONMENT "ASAN_OPTIONS=detect_leaks=1;LSAN_OPTIONS=suppressions=${KELM_LSAN_SUPP}:print_suppressions=0")
    else()
        add_executable(${name}_seeds ${F_SOURCES} ${CMAKE_SOURCE_DIR}/tests/common/fuzz_seed_driver.cpp)
        target_link_libraries(${name}_seeds PRIVATE ${F_LIBS})
        add_test(NAME ${name}_seeds COMMAND ${name}_seeds ${F_CORPUS})
        set_tests_properties(${name}_seeds PROPERTIES LABELS unit TIMEOUT 300
            ENVIRONMENT "LSAN_OPTIONS=suppressions=${KELM_LSAN_SUPP}:print_suppressions=0")
    endif()
endfunction()

# kelm_bench(<name> SOURCES ... [LIBS ...]): compiled in every tree so it
# never rots; run only from the optimised tree (BENCH=1 ./test.sh).
function(kelm_bench name)
    if(KELM_FUZZ OR NOT KELM_BENCH OR NOT benchmark_FOUND)
        return()
    endif()
    cmake_parse_arguments(B "" "" "SOURCES;LIBS" ${ARGN})
    add_executable(${name} ${B_SOURCES})
    target_link_libraries(${name} PRIVATE benchmark::benchmark Threads::Threads ${B_LIBS})
    set_property(GLOBAL APPEND PROPERTY KELM_BENCHMARKS ${name})
endfunction()

# kelm_core_target(<target>): a library without a display. It gets no wx
# include path, so an include of the toolkit does not compile, and the
# core_without_wx test (tests/layout) reads its sources and what they include.
function(kelm_core_target target)
    get_target_property(dirs ${target} INCLUDE_DIRECTORIES)
    if(dirs AND wxWidgets_INCLUDE_DIRS)
        list(REMOVE_ITEM dirs ${wxWidgets_INCLUDE_DIRS})
        set_property(TARGET ${target} PROPERTY INCLUDE_DIRECTORIES "${dirs}")
    endif()
    set_property(GLOBAL APPEND PROPERTY KELM_CORE_TARGETS ${target})
endfunction()

# Writes OUTPUT, a source file holding every SVG picture of FOLDER as text:
# an array ARRAY of STRUCT { name, svg } (the name is the file's name without
# its suffix) and its length COUNT, inside NAMESPACE when one is given.
function(kelm_embed_svgs output)
    cmake_parse_arguments(PARSE_ARGV 1 arg "" "FOLDER;STRUCT;ARRAY;COUNT;NAMESPACE" "")
    file(GLOB pictures CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/${arg_FOLDER}/*.svg)
    set(text "// Generated from ${arg_FOLDER}.\n#include <cstddef>\n")
    if(arg_NAMESPACE)
        string(APPEND text "namespace ${arg_NAMESPACE} {\n")
    endif()
    string(APPEND text "struct ${arg_STRUCT} { const char* name; const char* svg; };\n"
                       "extern const ${arg_STRUCT} ${arg_ARRAY}[] = {\n")
    foreach(picture IN LISTS pictures)
        get_filename_component(name ${picture} NAME_WE)
        file(READ ${picture} svg)
        string(APPEND text "    {\"${name}\", R\"svg(${svg})svg\"},\n")
    endforeach()
    list(LENGTH pictures count)
    string(APPEND text "};\nextern const std::size_t ${arg_COUNT} = ${count};\n")
    if(arg_NAMESPACE)
        string(APPEND text "}\n")
    endif()
    file(CONFIGURE OUTPUT ${output} CONTENT "${text}" @ONLY)
endfunction()
