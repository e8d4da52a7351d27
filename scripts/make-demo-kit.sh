#!/usr/bin/env bash
# Writes the demo kit's bulk files (kits/demo/bcp/<table>.bcp, COPY's text
# format), its dump (kits/demo/dump/kelm_demo.sql, plain SQL) and the patch's
# keys and indexes (kits/demo/patch/keys.sql) from the schema and
# kits/demo/data/demo.sql, through a scratch database. Uses the
# cluster that PGHOST/PGPORT name, else a private one of its own.
# The charts get their drawings from the chart library itself: the tool
# chart-drawings (charts/tools) opens, lays out and saves each chart as
# Tarnwick does. It is built in the tree KELM_BUILD_DIR names (default
# build, configured by ./test.sh or by hand).
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/common.sh
export LANG=C.UTF-8 LC_ALL=C.UTF-8

tree="${KELM_BUILD_DIR:-build}"
[[ -f "$tree/CMakeCache.txt" ]] || { kelm_log "no configured build tree in $tree (set KELM_BUILD_DIR)"; exit 2; }
cmake --build "$tree" -j "${JOBS:-2}" --target chart-drawings >/dev/null
tool="$tree/bin/chart-drawings"

work="$(mktemp -d /tmp/kelm-demo-kit.XXXXXX)"
chmod 755 "$work"
cleanup() { kelm_stop_pg "$work/pg"; rm -rf "$work"; }
trap cleanup EXIT
if [[ -z "${PGHOST:-}" ]]; then
    kelm_start_pg "$work/pg"
fi

db="kelm_demo_kit_$$"
psql -X -q -d postgres -c "CREATE DATABASE $db ENCODING 'UTF8' TEMPLATE template0"
trap 'psql -X -q -d postgres -c "DROP DATABASE IF EXISTS $db" || true; cleanup' EXIT
psql -X -q -v ON_ERROR_STOP=1 -d "$db" -f kits/demo/schema/postgresql.sql >/dev/null
psql -X -q -v ON_ERROR_STOP=1 -d "$db" -f kits/demo/data/demo.sql >/dev/null

# Every chart with states is opened, laid out and saved with its drawings.
kelm_odbc_config "$work/odbc"
charts="$(psql -X -Atq -d "$db" -c "SELECT DISTINCT typedoc FROM maindocstate ORDER BY 1")"
# shellcheck disable=SC2086
ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=0}" "$tool" \
    "Driver={PostgreSQL Unicode};Servername=$PGHOST;Port=${PGPORT:-5432};Database=$db;Username=${PGUSER:-$(id -un)};" $charts

rm -f kits/demo/bcp/*.bcp
# The schema writes the version row and the installing user is added by the
# kit, so neither table comes from a bulk file.
tables="$(psql -X -Atq -d "$db" -c "SELECT tablename FROM pg_tables WHERE schemaname = 'public'
                                    AND tablename NOT IN ('common_ver', 'kelm_user') ORDER BY 1")"
for t in $tables; do
    rows="$(psql -X -Atq -d "$db" -c "SELECT count(*) FROM $t")"
    [[ "$rows" == 0 ]] && continue
    psql -X -q -d "$db" -c "\\copy $t TO 'kits/demo/bcp/$t.bcp'"
    kelm_log "bcp/$t.bcp: $rows rows"
done
pg_dump --no-owner --no-privileges --format=plain "$db" |
    sed -e '/^-- Dumped from database version/d' -e '/^-- Dumped by pg_dump version/d' \
    >kits/demo/dump/kelm_demo.sql
kelm_log "dump/kelm_demo.sql written"
# Structure sync strips keys and indexes; the patch puts the schema's back.
# The session settings go: the script runs on a connection later steps use.
pg_dump --no-owner --no-privileges --schema-only --section=post-data "$db" |
    sed -e '/^-- Dumped from database version/d' -e '/^-- Dumped by pg_dump version/d' \
        -e '/^SET /d' -e '/^SELECT pg_catalog.set_config/d' -e '/^\\restrict /d' -e '/^\\unrestrict /d' \
    >kits/demo/patch/keys.sql
kelm_log "patch/keys.sql written"
