#!/usr/bin/env bash
# Loads a tolvan-gen CSV into table t of the MariaDB database named by
# TOLVAN_TEST_MARIA_{SOCKET,DB} (after mariadb_start of scripts/mariadb.sh).
#   bench/load_mariadb.sh FILE.csv     or: source bench/load_mariadb.sh; load_mariadb FILE.csv

load_mariadb() {
    local csv=${1:?usage: load_mariadb FILE.csv}
    local v
    for v in TOLVAN_TEST_MARIA_SOCKET TOLVAN_TEST_MARIA_DB; do
        if [[ -z ${!v:-} ]]; then
            echo "load_mariadb: $v is not set (source scripts/mariadb.sh and run mariadb_start)" >&2
            return 1
        fi
    done
    if [[ ! -r $csv ]]; then
        echo "load_mariadb: cannot read $csv" >&2
        return 1
    fi
    local abs quoted
    abs=$(cd "$(dirname "$csv")" && pwd)/$(basename "$csv")
    quoted=${abs//\\/\\\\}
    quoted=${quoted//\'/\\\'}
    # LOCAL: the client reads the file, so the server (user mysql) need not reach our folder.
    # An empty note is a Null (tolvan-gen writes nothing between the commas); no backslash
    # escapes, as in the file.
    mariadb --no-defaults --local-infile=1 --socket="$TOLVAN_TEST_MARIA_SOCKET" -uroot \
        "$TOLVAN_TEST_MARIA_DB" <<SQL
DROP TABLE IF EXISTS t;
CREATE TABLE t (
    id      integer PRIMARY KEY,
    code    varchar(10) NOT NULL,
    name    varchar(40) NOT NULL,
    note    varchar(200),
    amount  decimal(12,2) NOT NULL,
    created datetime NOT NULL,
    flag    boolean NOT NULL
);
LOAD DATA LOCAL INFILE '$quoted' INTO TABLE t
    FIELDS TERMINATED BY ',' OPTIONALLY ENCLOSED BY '"' ESCAPED BY '' LINES TERMINATED BY '\n'
    (id, code, name, @note, amount, created, flag) SET note = NULLIF(@note, '');
ANALYZE TABLE t;
SQL
}

if [[ ${BASH_SOURCE[0]} == "$0" ]]; then
    set -euo pipefail
    load_mariadb "$@" >/dev/null
fi
