# Throw-away PostgreSQL cluster for tests. Source this file, then call
# pg_start / pg_stop. Needs root (the server runs as user postgres).

_pg_bindir() {
    local d
    for d in /usr/lib/postgresql/15/bin "$(pg_config --bindir 2>/dev/null)"; do
        [[ -n $d && -x $d/initdb ]] && { echo "$d"; return 0; }
    done
    # Highest installed version as the last resort.
    for d in $(printf '%s\n' /usr/lib/postgresql/*/bin | sort -V -r); do
        [[ -x $d/initdb ]] && { echo "$d"; return 0; }
    done
    echo "pg.sh: no PostgreSQL server binaries found" >&2
    return 1
}

_pg_free_port() {
    local p
    for ((p = 54320; p < 54420; p++)); do
        if ! (exec 3<>/dev/tcp/127.0.0.1/$p) 2>/dev/null; then
            echo "$p"
            return 0
        fi
    done
    echo "pg.sh: no free port in 54320-54419" >&2
    return 1
}

# Sessions of the tests write and read money in locales with no decimals, a comma for the
# point, and three decimals: the server needs them before it starts.
_pg_money_locales() {
    local have l
    have=$(locale -a 2>/dev/null)
    for l in ja_JP de_DE ar_BH; do
        grep -qix "$l.utf8" <<<"$have" && continue
        localedef -i "$l" -f UTF-8 "$l.UTF-8" >/dev/null 2>&1 ||
            echo "pg.sh: cannot make the locale $l.UTF-8 (package locales)" >&2
    done
}

pg_start() {
    if ((EUID != 0)); then
        echo "pg.sh: pg_start must run as root" >&2
        return 1
    fi
    _pg_money_locales
    local bin port pw="tolvan_admin"
    bin=$(_pg_bindir) || return 1
    PGDIR=$(mktemp -d /tmp/tolvan-pg.XXXXXX) || return 1
    export PGDIR
    PG_BINDIR=$bin
    # mktemp gives 0700 root; postgres must own it.
    chown postgres: "$PGDIR" || { pg_stop; return 1; }
    printf '%s\n' "$pw" > "$PGDIR/pwfile"
    chown postgres: "$PGDIR/pwfile"

    if ! runuser -u postgres -- "$bin/initdb" -D "$PGDIR/data" -U postgres \
            --pwfile="$PGDIR/pwfile" --auth-local=trust --auth-host=scram-sha-256 \
            -E UTF8 --locale=C.UTF-8 >"$PGDIR/initdb.log" 2>&1; then
        # Systems without the C.UTF-8 locale; plain C is fine for tests.
        rm -rf "$PGDIR/data"
        if ! runuser -u postgres -- "$bin/initdb" -D "$PGDIR/data" -U postgres \
                --pwfile="$PGDIR/pwfile" --auth-local=trust --auth-host=scram-sha-256 \
                -E UTF8 --locale=C >"$PGDIR/initdb.log" 2>&1; then
            cat "$PGDIR/initdb.log" >&2
            pg_stop
            return 1
        fi
    fi
    rm -f "$PGDIR/pwfile"

    # Durability is pointless for a throw-away cluster; speed matters.
    cat >>"$PGDIR/data/postgresql.conf" <<CONF
listen_addresses = '127.0.0.1'
unix_socket_directories = '$PGDIR'
fsync = off
synchronous_commit = off
full_page_writes = off
CONF

    # Another process may grab the port between probe and start, so retry.
    local _
    for _ in 1 2 3; do
        port=$(_pg_free_port) || { pg_stop; return 1; }
        if runuser -u postgres -- "$bin/pg_ctl" -D "$PGDIR/data" -l "$PGDIR/server.log" \
                -o "-p $port" -w -t 60 start >/dev/null 2>&1; then
            break
        fi
        port=
    done
    if [[ -z $port ]]; then
        echo "pg.sh: server did not start" >&2
        cat "$PGDIR/server.log" >&2 2>/dev/null
        pg_stop
        return 1
    fi

    if ! runuser -u postgres -- "$bin/psql" -X -q -v ON_ERROR_STOP=1 \
            -h "$PGDIR" -p "$port" -U postgres -d postgres >/dev/null <<'SQL'
CREATE ROLE tolvan LOGIN CREATEDB CREATEROLE PASSWORD 'tolvan';
CREATE DATABASE tolvan OWNER tolvan ENCODING 'UTF8' TEMPLATE template0;
SQL
    then
        echo "pg.sh: could not create role/database" >&2
        pg_stop
        return 1
    fi

    export TOLVAN_TEST_PG_HOST=127.0.0.1
    export TOLVAN_TEST_PG_PORT=$port
    export TOLVAN_TEST_PG_USER=tolvan
    export TOLVAN_TEST_PG_PASSWORD=tolvan
    export TOLVAN_TEST_PG_DB=tolvan
    # Fault tests stop and restart this server mid-operation (runuser -u postgres -- pg_ctl).
    export TOLVAN_TEST_PG_BINDIR=$bin
    export TOLVAN_TEST_PG_DATA=$PGDIR/data
    export TOLVAN_TEST_PG_LOG=$PGDIR/server.log
}

pg_stop() {
    # Only touch folders pg_start made: PGDIR might be inherited from elsewhere.
    [[ ${PGDIR:-} == /tmp/tolvan-pg.* ]] || return 0
    if [[ -f $PGDIR/data/postmaster.pid ]]; then
        local bin=${PG_BINDIR:-}
        [[ -n $bin ]] || bin=$(_pg_bindir 2>/dev/null) || true
        runuser -u postgres -- "$bin/pg_ctl" -D "$PGDIR/data" -m fast -w stop \
            >/dev/null 2>&1 || true
    fi
    rm -rf "$PGDIR"
    unset PGDIR PG_BINDIR TOLVAN_TEST_PG_HOST TOLVAN_TEST_PG_PORT \
        TOLVAN_TEST_PG_USER TOLVAN_TEST_PG_PASSWORD TOLVAN_TEST_PG_DB \
        TOLVAN_TEST_PG_BINDIR TOLVAN_TEST_PG_DATA TOLVAN_TEST_PG_LOG
    return 0
}
