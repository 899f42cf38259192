#!/usr/bin/env bash
# Loads a tolvan-gen CSV into table t of the PostgreSQL database named by
# TOLVAN_TEST_PG_{HOST,PORT,USER,PASSWORD,DB} (e.g. after pg_start).
#   bench/load_pg.sh FILE.csv          or: source bench/load_pg.sh; load_pg FILE.csv
# TOLVAN_GEN overrides the generator path (default: ${TOLVAN_BUILD_DIR:-build}/bin/tolvan-gen).

load_pg() {
    local csv=${1:?usage: load_pg FILE.csv}
    local v
    for v in TOLVAN_TEST_PG_HOST TOLVAN_TEST_PG_PORT TOLVAN_TEST_PG_USER \
             TOLVAN_TEST_PG_PASSWORD TOLVAN_TEST_PG_DB; do
        if [[ -z ${!v:-} ]]; then
            echo "load_pg: $v is not set (source scripts/pg.sh and run pg_start)" >&2
            return 1
        fi
    done
    local gen=${TOLVAN_GEN:-${TOLVAN_BUILD_DIR:-build}/bin/tolvan-gen}
    if [[ ! -x $gen ]]; then
        echo "load_pg: generator not found: $gen" >&2
        return 1
    fi
    if [[ ! -r $csv ]]; then
        echo "load_pg: cannot read $csv" >&2
        return 1
    fi
    # \copy reads the file client-side, so the server need not see our paths;
    # single quotes are doubled for psql's quoted-string syntax.
    local abs quoted
    abs=$(cd "$(dirname "$csv")" && pwd)/$(basename "$csv")
    quoted=${abs//\'/\'\'}

    local psql=(psql -X -q -v ON_ERROR_STOP=1 -h "$TOLVAN_TEST_PG_HOST" -p "$TOLVAN_TEST_PG_PORT"
                -U "$TOLVAN_TEST_PG_USER" -d "$TOLVAN_TEST_PG_DB")
    {
        echo 'SET client_min_messages = warning;'
        echo 'DROP TABLE IF EXISTS t;'
        "$gen" pgsql || return 1
        echo "\\copy t from '$quoted' with (format csv)"
        echo 'ANALYZE t;'
    } | PGPASSWORD=$TOLVAN_TEST_PG_PASSWORD "${psql[@]}"
}

if [[ ${BASH_SOURCE[0]} == "$0" ]]; then
    set -euo pipefail
    load_pg "$@"
fi
