#!/usr/bin/env bash
# The main job: installs what is missing, builds the programs, their
# libraries and the staged demo kit (optimised, build-run/, no tests),
# starts a private PostgreSQL cluster under var/, installs the demo Kelm
# database from the staged kit (build-run/kits/demo) with Dorvik in quiet
# mode, registers its ODBC data source and opens Tarnwick on it.
set -euo pipefail
cd "$(dirname "$0")"
source scripts/common.sh
export LANG="${LANG:-C.UTF-8}"
kelm_install_deps
kelm_russian_locale

JOBS="$(nproc)"
# A tree made before the tests were left out of it is configured again.
if ! grep -qx 'KELM_TESTS:BOOL=OFF' build-run/CMakeCache.txt 2>/dev/null; then
    cmake -S . -B build-run -G Ninja -DCMAKE_BUILD_TYPE=Release -DKELM_TESTS=OFF -DKELM_BENCH=OFF >/dev/null
fi
# The programs (with the tool Dorvik's jobs run) and the staged kit; not the
# libraries no program loads (OrvoODBC, Quillmark) nor the kit makers' tools.
cmake --build build-run -j "$JOBS" --target tarnwick dorvik setup uninstall start sqlmaint kit-demo
BIN="$PWD/build-run/bin"

VAR="$PWD/var"
mkdir -p "$VAR"
chmod 755 "$VAR"
trap 'kelm_stop_pg "$VAR/pg"; kelm_stop_xvfb "$VAR/x"' EXIT
kelm_start_pg "$VAR/pg" "$(cat "$VAR/pg/port" 2>/dev/null || true)"
kelm_odbc_config "$VAR/odbc"

DSN=KelmDemo
DB=kelm_demo
if ! grep -q "^\[$DSN\]" "$VAR/odbc/odbc.ini"; then
    cat >>"$VAR/odbc/odbc.ini" <<INI
[$DSN]
Description=Kelm demo database
Driver=PostgreSQL Unicode
Servername=$KELM_PG_HOST
Port=$KELM_PG_PORT
Database=$DB
INI
fi
# The data source follows the cluster's socket and port of this run.
sed -i -e "/^\[$DSN\]/,/^\[/ s|^Servername=.*|Servername=$KELM_PG_HOST|" \
       -e "/^\[$DSN\]/,/^\[/ s|^Port=.*|Port=$KELM_PG_PORT|" "$VAR/odbc/odbc.ini"
kelm_log "ODBC data source $DSN (ODBCSYSINI=$ODBCSYSINI)"

# Dorvik shows its frame and progress even in a quiet run.
if [[ -z "${DISPLAY:-}" ]]; then
    kelm_start_xvfb "$VAR/x"
    kelm_log "no display: the programs run on Xvfb $DISPLAY (screenshot: import -window root shot.png)"
fi
export XDG_DOCUMENTS_DIR="$VAR/documents"
if [[ -z "${XDG_RUNTIME_DIR:-}" || ! -w "${XDG_RUNTIME_DIR:-/nonexistent}" ]]; then
    export XDG_RUNTIME_DIR="$VAR/runtime"
fi
mkdir -p "$XDG_DOCUMENTS_DIR" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"

KIT="$PWD/build-run/kits/demo"
LOG="$XDG_DOCUMENTS_DIR/Varnholt Inc/Orvo-Dorvik.log"
kelm_log "installing the demo database with Dorvik from $KIT (log: $LOG)"
status=0
"$BIN/dorvik" -quite "$KIT/dorvik.ini" || status=$?
case "$status" in
    0) ;;
    1) kelm_log "Dorvik ended with warnings; the end of its log:"
       tail -n 25 "$LOG" >&2 || true ;;
    *) kelm_log "Dorvik failed (exit status $status); the end of its log:"
       tail -n 40 "$LOG" >&2 || true
       exit "$status" ;;
esac

if [[ -x "$BIN/tarnwick" ]]; then
    kelm_log "opening Tarnwick on $DSN"
    "$BIN/tarnwick" "-d:$DSN"
else
    kelm_log "Tarnwick is not built yet; built so far:"
    ls "$BIN" 2>/dev/null || true
fi
