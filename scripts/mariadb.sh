# Throw-away MariaDB server for tests. Source this file, then call mariadb_start /
# mariadb_stop. Needs root: the server drops to the mysql system user itself. Nothing of the
# system's own MariaDB (its service, /etc/mysql, /var/lib/mysql) is read or touched.

_maria_bin() {
    local name d
    for name in "$@"; do
        for d in /usr/sbin /usr/bin /usr/libexec; do
            [[ -x $d/$name ]] && { echo "$d/$name"; return 0; }
        done
        command -v "$name" 2>/dev/null && return 0
    done
    echo "mariadb.sh: none of $* found (package mariadb-server installed?)" >&2
    return 1
}

_maria_free_port() {
    local p
    for ((p = 53306; p < 53406; p++)); do
        if ! (exec 3<>/dev/tcp/127.0.0.1/$p) 2>/dev/null; then
            echo "$p"
            return 0
        fi
    done
    echo "mariadb.sh: no free port in 53306-53405" >&2
    return 1
}

# The server's command line, also used by the fault tests to start it again.
_maria_write_ctl() {
    local server=$1 admin=$2
    cat >"$MARIADIR/ctl" <<CTL
#!/usr/bin/env bash
# start | stop | status of the throw-away MariaDB server in $MARIADIR.
set -u
ping() { "$admin" --no-defaults --socket="$MARIADIR/mysqld.sock" -uroot --connect-timeout=2 ping >/dev/null 2>&1; }
case \${1:-} in
start)
    ping && exit 0
    # setsid: a terminal's Ctrl+C reaches the tests, and the EXIT trap stops the server.
    # Durability is pointless here; the tests make their rows with recursive statements of
    # many thousand steps, where the server stops at 1000 by default.
    setsid "$server" --no-defaults --user=mysql --datadir="$MARIADIR/data" \\
        --socket="$MARIADIR/mysqld.sock" --pid-file="$MARIADIR/mysqld.pid" \\
        --port="\$(cat "$MARIADIR/port")" --bind-address=127.0.0.1 --skip-name-resolve \\
        --log-error="$MARIADIR/server.log" --skip-log-bin --character-set-server=utf8mb4 \\
        --innodb-buffer-pool-size=128M --innodb-log-file-size=64M \\
        --innodb-flush-log-at-trx-commit=0 --sync-binlog=0 --innodb-doublewrite=0 \\
        --max-recursive-iterations=10000000 \\
        </dev/null >>"$MARIADIR/server.log" 2>&1 &
    for ((i = 0; i < 600; i++)); do
        ping && exit 0
        kill -0 \$! 2>/dev/null || exit 1
        sleep 0.1
    done
    exit 1
    ;;
stop)
    [[ -f "$MARIADIR/mysqld.pid" ]] || exit 0
    pid=\$(cat "$MARIADIR/mysqld.pid" 2>/dev/null) || exit 0
    kill -TERM "\$pid" 2>/dev/null || exit 0
    # A normal shutdown ends every session, as an administrator's would.
    for ((i = 0; i < 600; i++)); do
        kill -0 "\$pid" 2>/dev/null || exit 0
        sleep 0.1
    done
    kill -KILL "\$pid" 2>/dev/null
    exit 0
    ;;
status)
    ping
    ;;
*)
    echo "usage: \$0 start|stop|status" >&2
    exit 2
    ;;
esac
CTL
    chmod 755 "$MARIADIR/ctl"
}

mariadb_start() {
    if ((EUID != 0)); then
        echo "mariadb.sh: mariadb_start must run as root" >&2
        return 1
    fi
    local server install client admin port
    server=$(_maria_bin mariadbd mysqld) || return 1
    install=$(_maria_bin mariadb-install-db mysql_install_db) || return 1
    client=$(_maria_bin mariadb mysql) || return 1
    admin=$(_maria_bin mariadb-admin mysqladmin) || return 1
    MARIADIR=$(mktemp -d /tmp/tolvan-maria.XXXXXX) || return 1
    export MARIADIR
    # mktemp gives 0700 root; the server runs as mysql and must reach its socket and data.
    chown mysql: "$MARIADIR" || { mariadb_stop; return 1; }
    chmod 755 "$MARIADIR"

    # --no-defaults keeps /etc/mysql out; root logs in through the socket as the root user.
    if ! "$install" --no-defaults --user=mysql --datadir="$MARIADIR/data" \
            --auth-root-authentication-method=socket --skip-test-db \
            >"$MARIADIR/install.log" 2>&1; then
        cat "$MARIADIR/install.log" >&2
        mariadb_stop
        return 1
    fi
    _maria_write_ctl "$server" "$admin"

    # Another process may grab the port between probe and start, so retry.
    local _
    for _ in 1 2 3; do
        port=$(_maria_free_port) || { mariadb_stop; return 1; }
        echo "$port" >"$MARIADIR/port"
        "$MARIADIR/ctl" start && break
        "$MARIADIR/ctl" stop
        port=
    done
    if [[ -z $port ]]; then
        echo "mariadb.sh: server did not start" >&2
        tail -n 30 "$MARIADIR/server.log" >&2 2>/dev/null
        mariadb_stop
        return 1
    fi

    # The test user reaches the server over TCP from the loopback address only.
    if ! "$client" --no-defaults --socket="$MARIADIR/mysqld.sock" -uroot >/dev/null <<'SQL'
CREATE DATABASE tolvan CHARACTER SET utf8mb4;
CREATE USER 'tolvan'@'127.0.0.1' IDENTIFIED BY 'tolvan';
CREATE USER 'tolvan'@'localhost' IDENTIFIED BY 'tolvan';
GRANT ALL ON tolvan.* TO 'tolvan'@'127.0.0.1';
GRANT ALL ON tolvan.* TO 'tolvan'@'localhost';
-- Databases of its own beside it (tolvan_...), for the tests of what the current one alone
-- shows and of copies between two databases.
GRANT ALL ON `tolvan\_%`.* TO 'tolvan'@'127.0.0.1';
CREATE DATABASE tolvan_other CHARACTER SET utf8mb4;
SQL
    then
        echo "mariadb.sh: could not create user/database" >&2
        mariadb_stop
        return 1
    fi

    export TOLVAN_TEST_MARIA_HOST=127.0.0.1
    export TOLVAN_TEST_MARIA_PORT=$port
    export TOLVAN_TEST_MARIA_USER=tolvan
    export TOLVAN_TEST_MARIA_PASSWORD=tolvan
    export TOLVAN_TEST_MARIA_DB=tolvan
    export TOLVAN_TEST_MARIA_SOCKET=$MARIADIR/mysqld.sock
    # Fault tests stop and start this server mid-operation ("ctl stop", "ctl start").
    export TOLVAN_TEST_MARIA_CTL=$MARIADIR/ctl
    export TOLVAN_TEST_MARIA_LOG=$MARIADIR/server.log
}

mariadb_stop() {
    # Only touch folders mariadb_start made: MARIADIR might be inherited from elsewhere.
    [[ ${MARIADIR:-} == /tmp/tolvan-maria.* ]] || return 0
    [[ -x $MARIADIR/ctl ]] && "$MARIADIR/ctl" stop >/dev/null 2>&1
    rm -rf "$MARIADIR"
    unset MARIADIR TOLVAN_TEST_MARIA_HOST TOLVAN_TEST_MARIA_PORT TOLVAN_TEST_MARIA_USER \
        TOLVAN_TEST_MARIA_PASSWORD TOLVAN_TEST_MARIA_DB TOLVAN_TEST_MARIA_SOCKET \
        TOLVAN_TEST_MARIA_CTL TOLVAN_TEST_MARIA_LOG
    return 0
}
