# Shared by test.sh and run.sh: installing what is missing, and the private
# services (PostgreSQL cluster, Xvfb, ODBC configuration) the suite needs.

KELM_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"

kelm_log() { printf '== %s\n' "$*" >&2; }

kelm_install_deps() {
    local missing=() wanted=() pkg installed
    while read -r pkg; do
        [[ -z "$pkg" || "$pkg" == \#* ]] && continue
        wanted+=("$pkg")
    done < "$KELM_ROOT/scripts/packages.txt"
    # One query for the whole list: a query per package costs a second or
    # more on every run.
    installed="$(dpkg-query -W -f='${Package}\t${Status}\n' "${wanted[@]}" 2>/dev/null || true)"
    for pkg in "${wanted[@]}"; do
        grep -qxF "$pkg"$'\t'"install ok installed" <<<"$installed" || missing+=("$pkg")
    done
    if ((${#missing[@]})); then
        kelm_log "installing: ${missing[*]}"
        local sudo=()
        [[ $(id -u) -ne 0 ]] && sudo=(sudo)
        "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -qq
        "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
    fi
}

# kelm_russian_locale: the programs' windows speak Russian, and GTK takes
# its own words (stock buttons, the file chooser) from the C library's
# catalogs through the locale ru_RU.UTF-8. Generated when the system has
# none; the locales it has already stay as they are.
kelm_russian_locale() {
    # grep reads the whole list: an early exit would fail the pipe.
    if locale -a 2>/dev/null | grep -ix 'ru_RU\.utf-\?8' >/dev/null; then
        return 0
    fi
    local sudo=()
    [[ $(id -u) -ne 0 ]] && sudo=(sudo)
    kelm_log "generating the locale ru_RU.UTF-8"
    if grep -qs '^# *ru_RU\.UTF-8 UTF-8' /etc/locale.gen; then
        "${sudo[@]}" sed -i 's/^# *\(ru_RU\.UTF-8 UTF-8\)/\1/' /etc/locale.gen
    elif ! grep -qs '^ru_RU\.UTF-8 UTF-8' /etc/locale.gen; then
        echo 'ru_RU.UTF-8 UTF-8' | "${sudo[@]}" tee -a /etc/locale.gen >/dev/null
    fi
    "${sudo[@]}" locale-gen --keep-existing >/dev/null
}

kelm_free_port() {
    local port
    for _ in $(seq 1 200); do
        port=$((20000 + RANDOM % 30000))
        if ! (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null; then
            echo "$port"
            return 0
        fi
    done
    return 1
}

# kelm_start_pg <folder> [port]: a private cluster whose data and socket live
# in <folder>. As root the server runs as the postgres user and gets a
# superuser role named root, so peer-authenticated connections work.
kelm_start_pg() {
    local dir="$1" port="${2:-}" pgbin=/usr/lib/postgresql/15/bin
    local runas=() me
    me="$(id -un)"
    mkdir -p "$dir/sock"
    if [[ $(id -u) -eq 0 ]]; then
        runas=(runuser -u postgres --)
        chown -R postgres: "$dir"
        chmod 755 "$dir" "$dir/sock"
    fi
    if [[ ! -f "$dir/data/PG_VERSION" ]]; then
        "${runas[@]}" "$pgbin/initdb" -D "$dir/data" -E UTF8 --locale=C.UTF-8 \
            --auth-local=peer --auth-host=scram-sha-256 >"$dir/initdb.log" 2>&1 ||
            { cat "$dir/initdb.log" >&2; return 1; }
    fi
    [[ -n "$port" ]] || port="$(kelm_free_port)"
    "${runas[@]}" "$pgbin/pg_ctl" -D "$dir/data" -l "$dir/server.log" -w -t 60 \
        -o "-p $port -k $dir/sock -c listen_addresses=127.0.0.1 -c fsync=off -c max_connections=200" \
        start >/dev/null || { cat "$dir/server.log" >&2; return 1; }
    echo "$port" >"$dir/port"
    export KELM_PG_HOST="$dir/sock" KELM_PG_PORT="$port" KELM_PG_USER="$me"
    export PGHOST="$dir/sock" PGPORT="$port" PGUSER="$me"
    if [[ $(id -u) -eq 0 ]]; then
        runuser -u postgres -- psql -U postgres -h "$dir/sock" -p "$port" -d postgres -qAtc \
            "DO \$\$BEGIN IF NOT EXISTS (SELECT FROM pg_roles WHERE rolname='root') THEN CREATE ROLE root SUPERUSER LOGIN; END IF; END\$\$" >/dev/null
    fi
    # Once here: tests that create it in parallel would race.
    local admin="$me"
    [[ $(id -u) -eq 0 ]] && admin=postgres
    "${runas[@]}" psql -X -U "$admin" -h "$dir/sock" -p "$port" -d postgres -qAtc \
        "CREATE EXTENSION IF NOT EXISTS pgagent" >/dev/null || return 1
    kelm_log "PostgreSQL on port $port (socket $dir/sock)"
}

kelm_stop_pg() {
    local dir="$1" runas=()
    [[ -f "$dir/data/postmaster.pid" ]] || return 0
    [[ $(id -u) -eq 0 ]] && runas=(runuser -u postgres --)
    "${runas[@]}" /usr/lib/postgresql/15/bin/pg_ctl -D "$dir/data" -m immediate -w stop >/dev/null 2>&1 || true
}

# kelm_start_xvfb <folder>: a private X server; exports DISPLAY.
kelm_start_xvfb() {
    local dir="$1"
    mkdir -p "$dir"
    Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$dir/display" >"$dir/xvfb.log" 2>&1 &
    echo $! >"$dir/xvfb.pid"
    for _ in $(seq 1 100); do
        [[ -s "$dir/display" ]] && break
        sleep 0.1
    done
    [[ -s "$dir/display" ]] || { cat "$dir/xvfb.log" >&2; return 1; }
    export DISPLAY=":$(head -n1 "$dir/display")"
    kelm_log "Xvfb on $DISPLAY"
}

kelm_stop_xvfb() {
    local dir="$1"
    [[ -f "$dir/xvfb.pid" ]] && kill "$(cat "$dir/xvfb.pid")" 2>/dev/null || true
}

# kelm_odbc_config <folder>: driver and data-source files of our own, so
# nothing in /etc is touched.
kelm_odbc_config() {
    local dir="$1" libdir=/usr/lib/x86_64-linux-gnu/odbc
    mkdir -p "$dir"
    cat >"$dir/odbcinst.ini" <<INI
[PostgreSQL Unicode]
Description=PostgreSQL ODBC driver (Unicode version)
Driver=$libdir/psqlodbcw.so
Setup=$libdir/libodbcpsqlS.so
Threading=2

[SQLite3]
Description=SQLite3 ODBC Driver
Driver=$libdir/libsqlite3odbc.so
Setup=$libdir/libsqlite3odbc.so
Threading=2
INI
    [[ -f "$dir/odbc.ini" ]] || : >"$dir/odbc.ini"
    [[ -f "$dir/user-odbc.ini" ]] || : >"$dir/user-odbc.ini"
    export ODBCSYSINI="$dir" ODBCINI="$dir/user-odbc.ini"
}
