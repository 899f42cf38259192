#!/usr/bin/env bash
# The servers' transfers on the 1,000,000-row table, each beside its floor in the same run:
# MariaDB's import against LOAD DATA LOCAL INFILE, its fetch into the held rows against the
# mariadb client, its export against the client writing the same rows to a file, and
# PostgreSQL's export against psqlODBC reading them alone. Medians of RUNS (default 3) runs.
# BEFORE=path/to/an/older/tolvan-bench measures that program too, on the same data;
# PARTS="import fetch export postgres native maria" (the default) chooses what is measured;
# native measures PostgreSQL through libpq beside psqlODBC (TOLVAN_BENCH_DRIVER_ONLY) and
# psql's \copy, maria MariaDB through Connector/C beside its ODBC driver and the client's
# own streaming read and LOAD DATA. The parts import, fetch and export take the default way
# (Connector/C).
set -euo pipefail
RUNS=${RUNS:-3}
source "$(dirname "${BASH_SOURCE[0]}")/bench_env.sh"

benches=("$bin/tolvan-bench")
[[ -n ${BEFORE:-} ]] && benches+=("$BEFORE")
mconn=(--no-defaults -h "$TOLVAN_TEST_MARIA_HOST" -P "$TOLVAN_TEST_MARIA_PORT"
    -u "$TOLVAN_TEST_MARIA_USER" -p"$TOLVAN_TEST_MARIA_PASSWORD" "$TOLVAN_TEST_MARIA_DB")
msql() { mariadb "${mconn[@]}" -e "$1"; }
label() { [[ $1 == "$bin/tolvan-bench" ]] && echo now || echo "before ($1)"; }

part() { [[ " ${PARTS:-import fetch export postgres native maria} " == *" $1 "* ]]; }

# The client's own LOAD DATA LOCAL INFILE of the CSV into an empty copy u of t: its median.
load_data() {
    msql "drop table if exists u; create table u like t"
    cat >"$work/mload.sql" <<SQL
LOAD DATA LOCAL INFILE '$work/t.csv' INTO TABLE u
    FIELDS TERMINATED BY ',' OPTIONALLY ENCLOSED BY '"' ESCAPED BY '' LINES TERMINATED BY '\n'
    (id, code, name, @note, amount, created, flag) SET note = NULLIF(@note, '');
SQL
    for ((i = 0; i < runs; i++)); do
        msql "truncate u"
        /usr/bin/time -f %e mariadb --no-defaults --local-infile=1 "${mconn[@]:1}" <"$work/mload.sql" 2>&1 >/dev/null | tail -n1
    done | median
}

if part import; then
ref=$(load_data)
for b in "${benches[@]}"; do
    s=$(for ((i = 0; i < runs; i++)); do
        msql "truncate u"
        "$b" import "$maria" "select * from u where 1 = 0" "$work/t.csv" csv | field_of seconds
    done | median)
    echo "mariadb import loop, $(label "$b"): LOAD DATA ${ref}s, Tolvan ${s}s, ratio $(ratio "$s" "$ref") (target 2.5)"
done
# The server's own time for the statements of one import, from its slow log of every
# statement, and its counters.
root() { mariadb --no-defaults --socket="$TOLVAN_TEST_MARIA_SOCKET" -uroot "$TOLVAN_TEST_MARIA_DB" -e "$1"; }
msql "truncate u"
counters() { root "show global status where variable_name in ('Com_insert', 'Handler_commit')" | awk 'NR > 1 {printf "%s ", $2}'; }
root "set global log_output = 'TABLE', global long_query_time = 0; truncate mysql.slow_log; set global slow_query_log = 1"
read -r inserts commits <<<"$(counters)"
"$bin/tolvan-bench" import "$maria" "select * from u where 1 = 0" "$work/t.csv" csv >/dev/null
read -r inserts2 commits2 <<<"$(counters)"
root "set global slow_query_log = 0"
root "select count(*), round(sum(time_to_sec(query_time) + microsecond(query_time) / 1e6), 2) from mysql.slow_log where sql_text like 'INSERT%'" | tail -n1 |
    awk -v i=$((inserts2 - inserts)) -v c=$((commits2 - commits)) \
        '{print "mariadb import, the server alone: " $1 " INSERT statements taking " $2 "s (Com_insert +" i ", Handler_commit +" c ")"}'

fi

if part fetch; then
ref=$(timed mariadb "${mconn[@]}" -B -e 'select * from t')
for b in "${benches[@]}"; do
    s=$(for ((i = 0; i < runs; i++)); do "$b" fetch "$maria" "select * from t" | field_of seconds; done | median)
    kb=$(for ((i = 0; i < runs; i++)); do "$b" fetch "$maria" "select * from t" | field_of peak_kb; done | median)
    echo "mariadb fetch into held rows, $(label "$b"): mariadb -B ${ref}s, Tolvan ${s}s, ratio $(ratio "$s" "$ref") (target 1.2); peak ${kb} KB for a ${csv_kb} KB CSV, ratio $(ratio "$kb" "$csv_kb") (target 1.3)"
done

fi

if part export; then
ref=$(timed bash -c "mariadb ${mconn[*]@Q} -B -e 'select * from t' > '$work/mref.tsv'")
for b in "${benches[@]}"; do
    report "mariadb export csv, $(label "$b")" "$ref" \
        "$(bin=$(dirname "$b") transfer_runs : export "$maria" "select * from t" "$work/mout.csv" csv)" 1.3
done

fi

if part native; then
pconn=(-X -q -h "$TOLVAN_TEST_PG_HOST" -p "$TOLVAN_TEST_PG_PORT" -U "$TOLVAN_TEST_PG_USER" -d "$TOLVAN_TEST_PG_DB")
psql "${pconn[@]}" -c "drop table if exists u; create table u (like t including all)"
copy_out=$(timed psql "${pconn[@]}" -c "\\copy (select * from t) to '$work/pref.csv' csv")
copy_null=$(timed psql "${pconn[@]}" -c "\\copy (select * from t) to '/dev/null' csv")
copy_in=$(for ((i = 0; i < runs; i++)); do
    psql "${pconn[@]}" -c "truncate u"
    /usr/bin/time -f %e psql "${pconn[@]}" -c "\\copy u from '$work/t.csv' csv" 2>&1 >/dev/null | tail -n1
done | median)
echo "postgres: \\copy out ${copy_out}s, to /dev/null ${copy_null}s, in ${copy_in}s"
for way in libpq psqlodbc; do
    only=; [[ $way == psqlodbc ]] && only=$TOLVAN_TEST_PG_DSN
    report "postgres export csv ($way) against \\copy out" "$copy_out" \
        "$(TOLVAN_BENCH_DRIVER_ONLY=$only transfer_runs : export "$pg" "select * from t" "$work/pgout.csv" csv)" 1.2
    s=$(for ((i = 0; i < runs; i++)); do
        psql "${pconn[@]}" -c "truncate u"
        TOLVAN_BENCH_DRIVER_ONLY=$only "$bin/tolvan-bench" import "$pg" "select * from u where 1 = 0" "$work/t.csv" csv | field_of seconds
    done | median)
    echo "postgres import loop ($way): \\copy in ${copy_in}s, Tolvan ${s}s, ratio $(ratio "$s" "$copy_in") (target 1.2)"
    f=$(for ((i = 0; i < runs; i++)); do
        TOLVAN_BENCH_DRIVER_ONLY=$only /usr/bin/time -f "%e %M" "$bin/tolvan-bench" fetch "$pg" "select * from t" 2>&1 >/dev/null | tail -n1
    done | sort -n | awk '{a[NR]=$0} END {print a[int((NR+1)/2)]}')
    read -r fs fkb <<<"$f"
    echo "postgres fetch into held rows ($way), whole process: \\copy to /dev/null ${copy_null}s, Tolvan ${fs}s, ratio $(ratio "$fs" "$copy_null") (target 1.3); peak ${fkb} KB for a ${csv_kb} KB CSV, ratio $(ratio "$fkb" "$csv_kb") (target 1.2)"
done
fi

if part maria; then
load=$(load_data)
quick=$(timed mariadb "${mconn[@]}" --quick -B -e 'select * from t')
echo "mariadb: LOAD DATA LOCAL INFILE ${load}s, mariadb --quick -B to /dev/null ${quick}s"
for way in connector-c odbc; do
    only=; [[ $way == odbc ]] && only=$TOLVAN_TEST_MARIA_DSN
    s=$(for ((i = 0; i < runs; i++)); do
        msql "truncate u"
        TOLVAN_BENCH_DRIVER_ONLY=$only "$bin/tolvan-bench" import "$maria" "select * from u where 1 = 0" "$work/t.csv" csv | field_of seconds
    done | median)
    echo "mariadb import loop ($way): LOAD DATA ${load}s, Tolvan ${s}s, ratio $(ratio "$s" "$load") (target 1.3)"
    f=$(for ((i = 0; i < runs; i++)); do
        TOLVAN_BENCH_DRIVER_ONLY=$only /usr/bin/time -f "%e %M" "$bin/tolvan-bench" fetch "$maria" "select * from t" 2>&1 >/dev/null | tail -n1
    done | sort -n | awk '{a[NR]=$0} END {print a[int((NR+1)/2)]}')
    read -r fs fkb <<<"$f"
    echo "mariadb fetch into held rows ($way), whole process: mariadb --quick ${quick}s, Tolvan ${fs}s, ratio $(ratio "$fs" "$quick") (target 1.1); peak ${fkb} KB for a ${csv_kb} KB CSV, ratio $(ratio "$fkb" "$csv_kb") (target 1.2)"
    report "mariadb export csv ($way) against mariadb --quick" "$quick" \
        "$(TOLVAN_BENCH_DRIVER_ONLY=$only transfer_runs : export "$maria" "select * from t" "$work/mout.csv" csv)" 1.2
done
fi

if part postgres; then
floor=$(for ((i = 0; i < runs; i++)); do
    "$bin/odbc-floor" "DSN=$TOLVAN_TEST_PG_DSN;UID=$TOLVAN_TEST_PG_USER;PWD=$TOLVAN_TEST_PG_PASSWORD;UseDeclareFetch=1;Fetch=10000;BoolsAsChar=0" |
        sed -n 's/.*seconds=//p'
done | median)
# The driver handing over the dates as text, as the layer reads them to keep fractions,
# offsets and eras: its own cost of formatting them is part of the floor then.
text_floor=$(for ((i = 0; i < runs; i++)); do
    "$bin/odbc-floor" "DSN=$TOLVAN_TEST_PG_DSN;UID=$TOLVAN_TEST_PG_USER;PWD=$TOLVAN_TEST_PG_PASSWORD;UseDeclareFetch=1;Fetch=10000;BoolsAsChar=0" textdates |
        sed -n 's/.*seconds=//p'
done | median)
echo "postgres: psqlODBC alone ${floor}s, with the dates as text ${text_floor}s"
for b in "${benches[@]}"; do
    measured=$(bin=$(dirname "$b") transfer_runs : export "$pg" "select * from t" "$work/pgout.csv" csv)
    report "postgres export csv against psqlODBC alone, $(label "$b")" "$floor" "$measured" 1.15
    report "postgres export csv against psqlODBC alone with the dates as text, $(label "$b")" \
        "$text_floor" "$measured" 1.15
done
fi
