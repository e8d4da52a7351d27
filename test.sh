#!/usr/bin/env bash
# Installs what is missing, builds into build/ (AddressSanitizer and
# UndefinedBehaviorSanitizer on), builds the fuzz targets with clang into
# build-fuzz/, starts a private PostgreSQL cluster and Xvfb, runs every test
# with ctest and exits with its status.
#   ./test.sh [ctest arguments]     e.g. ./test.sh -L unit, ./test.sh -R Ini
#   BUILD_DIR=dir   build tree to use (default build)
#   KELM_TARGETS="a b"  build only these targets of BUILD_DIR
#   SKIP_FUZZ=1     leave out the fuzz tree
#   BENCH=1         afterwards build the benchmarks in the optimised tree
#                   build-bench/, run every one (JSON into
#                   build-bench/bench-results/) and print scripts/bench-table.py's table
#   BENCH=only      the benchmarks and their table alone: no build/, no tests
#   BENCHES="bench_a bench_b"  run only these benchmark programs
set -euo pipefail
cd "$(dirname "$0")"
source scripts/common.sh

export LANG=C.UTF-8 LC_ALL=C.UTF-8
kelm_install_deps
kelm_russian_locale

BUILD_DIR="${BUILD_DIR:-build}"
JOBS="${JOBS:-$(nproc)}"

configure() { # dir, extra args...
    local dir="$1"; shift
    if [[ ! -f "$dir/CMakeCache.txt" ]]; then
        cmake -S . -B "$dir" -G Ninja "$@" >/dev/null
    fi
}

BENCH_ONLY=""
[[ "${BENCH:-}" == only ]] && BENCH_ONLY=1

if [[ -z "$BENCH_ONLY" ]]; then
    kelm_log "building $BUILD_DIR"
    configure "$BUILD_DIR" -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG="-g -O1" -DKELM_SANITIZE=ON
    if [[ -n "${KELM_TARGETS:-}" ]]; then
        # shellcheck disable=SC2086
        cmake --build "$BUILD_DIR" -j "$JOBS" --target $KELM_TARGETS
    else
        cmake --build "$BUILD_DIR" -j "$JOBS"
    fi
fi

if [[ -z "${SKIP_FUZZ:-}" && -z "$BENCH_ONLY" ]]; then
    kelm_log "building build-fuzz"
    CC=clang CXX=clang++ configure build-fuzz -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG="-g -O1" -DKELM_FUZZ=ON
    cmake --build build-fuzz -j "$JOBS"
fi

RUN_DIR="$(mktemp -d /tmp/kelm-run.XXXXXX)"
chmod 755 "$RUN_DIR"
cleanup() {
    kelm_stop_pg "$RUN_DIR/pg"
    kelm_stop_xvfb "$RUN_DIR/x"
    rm -rf "$RUN_DIR"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

export TMPDIR="$RUN_DIR/tmp" XDG_CONFIG_HOME="$RUN_DIR/config" XDG_DOCUMENTS_DIR="$RUN_DIR/documents"
export XDG_RUNTIME_DIR="$RUN_DIR/runtime"
export WINAPI_REGISTRY_MACHINE="$RUN_DIR/registry/machine" WINAPI_REGISTRY_USER="$RUN_DIR/registry/user"
export WINAPI_COMMON_APPDATA="$RUN_DIR/common-appdata" WINAPI_COMMON_DOCUMENTS="$RUN_DIR/common-documents"
export WINAPI_PROGRAM_FILES="$RUN_DIR/program-files" WINAPI_COMMON_PROGRAMS="$RUN_DIR/applications"
mkdir -p "$TMPDIR" "$XDG_CONFIG_HOME" "$XDG_DOCUMENTS_DIR" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
chmod 1777 "$TMPDIR"

kelm_start_pg "$RUN_DIR/pg"
kelm_start_xvfb "$RUN_DIR/x"
kelm_odbc_config "$RUN_DIR/odbc"
export KELM_REQUIRE_SERVICES=1
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"

rc=0
if [[ -z "$BENCH_ONLY" ]]; then
    kelm_log "running ctest in $BUILD_DIR"
    ctest --test-dir "$BUILD_DIR" --output-on-failure -j "$JOBS" "$@" || rc=$?
    if [[ -z "${SKIP_FUZZ:-}" && $# -eq 0 ]]; then
        kelm_log "running the fuzz targets"
        ctest --test-dir build-fuzz --output-on-failure -j "$JOBS" -L fuzz || rc=$?
    fi
fi

if [[ -n "${BENCH:-}" ]]; then
    kelm_log "building build-bench (optimised, no sanitizers)"
    configure build-bench -DCMAKE_BUILD_TYPE=Release -DKELM_SANITIZE=OFF
    results=build-bench/bench-results
    mkdir -p "$results"
    if [[ -n "${BENCHES:-}" ]]; then
        # shellcheck disable=SC2086
        cmake --build build-bench -j "$JOBS" --target $BENCHES
        programs=()
        for b in $BENCHES; do programs+=("build-bench/bin/$b"); done
    else
        cmake --build build-bench -j "$JOBS" --target benchmarks
        # One run of every benchmark makes the table: nothing of an earlier run stays.
        rm -f "$results"/*.json
        programs=(build-bench/bin/bench_*)
    fi
    for b in "${programs[@]}"; do
        [[ -x "$b" ]] || continue
        kelm_log "$b"
        "$b" --benchmark_counters_tabular=true --benchmark_out="$results/$(basename "$b").json" \
            --benchmark_out_format=json || rc=$?
    done
    kelm_log "the benchmarks' table (scripts/bench-table.py $results)"
    python3 scripts/bench-table.py "$results" || rc=$?
fi
exit "$rc"
