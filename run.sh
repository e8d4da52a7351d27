#!/usr/bin/env bash
# The main job: installs what is missing, builds (optimised, build-run/),
# starts a private PostgreSQL cluster under var/, installs the demo Kelm
# database from kits/demo with Dorvik in quiet mode, registers its ODBC data
# source and opens Tarnwick on it. Steps whose program is not built yet are
# skipped with a message.
set -euo pipefail
cd "$(dirname "$0")"
source scripts/common.sh
export LANG="${LANG:-C.UTF-8}"
kelm_install_deps

JOBS="$(nproc)"
if [[ ! -f build-run/CMakeCache.txt ]]; then
    cmake -S . -B build-run -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKELM_BENCH=OFF >/dev/null
fi
cmake --build build-run -j "$JOBS"
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

if [[ -x "$BIN/dorvik" && -f kits/demo/dorvik.ini ]]; then
    kelm_log "installing the demo database with Dorvik"
    "$BIN/dorvik" -quite "$PWD/kits/demo/dorvik.ini"
elif [[ -f kits/demo/schema/postgresql.sql ]]; then
    kelm_log "Dorvik is not built yet: loading the demo schema with psql"
    if ! psql -d postgres -qAtc "SELECT 1 FROM pg_database WHERE datname='$DB'" | grep -q 1; then
        psql -d postgres -qc "CREATE DATABASE $DB"
        psql -d "$DB" -q -v ON_ERROR_STOP=1 -f kits/demo/schema/postgresql.sql >/dev/null
        # The one who installs the demo administers it.
        psql -d "$DB" -qc "INSERT INTO kelm_user (db_user_netname, kelm_user_isadmin) VALUES (session_user, 1)"
    fi
fi

if [[ -z "${DISPLAY:-}" ]]; then
    kelm_start_xvfb "$VAR/x"
    kelm_log "no display: Tarnwick runs on Xvfb $DISPLAY (screenshot: import -window root shot.png)"
fi
if [[ -x "$BIN/tarnwick" ]]; then
    kelm_log "opening Tarnwick on $DSN"
    "$BIN/tarnwick" "-d:$DSN"
else
    kelm_log "Tarnwick is not built yet; built so far:"
    ls "$BIN" 2>/dev/null || true
fi
