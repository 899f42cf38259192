#!/usr/bin/env bash
# Measures, on the 1,000,000-row table, the transfers against what the drivers and the
# databases' own tools do alone, and how soon the window shows rows again when it reads its
# result anew: F5, and an import of 100 rows into the table that is the current result.
# Prints the median of RUNS runs (default 3).
set -euo pipefail
RUNS=${RUNS:-3}
source "$(dirname "${BASH_SOURCE[0]}")/bench_env.sh"

pgconn=(-X -q -h "$TOLVAN_TEST_PG_HOST" -p "$TOLVAN_TEST_PG_PORT" -U "$TOLVAN_TEST_PG_USER" "$TOLVAN_TEST_PG_DB")
pgfloor="DSN=$TOLVAN_TEST_PG_DSN;UID=$TOLVAN_TEST_PG_USER;PWD=$TOLVAN_TEST_PG_PASSWORD;UseDeclareFetch=1;Fetch=10000;BoolsAsChar=0"

# Export: psqlODBC reading the rows into bound arrays and storing nothing is the floor.
floor=$(for ((i = 0; i < runs; i++)); do
    "$bin/odbc-floor" "$pgfloor" | sed -n 's/.*seconds=//p'
done | median)
report "postgres export csv against odbc-floor" "$floor" \
    "$(transfer_runs : export "$pg" "select * from t" "$work/pgout.csv" csv)" 1.15

# Import loops: the current result stays empty, so nothing is read again at the end.
psql "${pgconn[@]}" -c "drop table if exists u" -c "create table u (like t)" >/dev/null
printf '%s\n' 'truncate u;' "\\copy u from '$work/t.csv' csv" >"$work/pgimport.sql"
ref=$(timed psql "${pgconn[@]}" -f "$work/pgimport.sql")
report "postgres import loop against \\copy from" "$ref" \
    "$(transfer_runs "psql \"\${pgconn[@]}\" -c 'truncate u' >/dev/null" import "$pg" "select * from u where 1 = 0" "$work/t.csv" csv)" 2.3
# The server's own time for the inserts of one import, from its log of every statement.
pgsuper() { runuser -u postgres -- psql -X -q -h "$PGDIR" -p "$TOLVAN_TEST_PG_PORT" -U postgres -d postgres "$@" >/dev/null; }
psql "${pgconn[@]}" -c 'truncate u' >/dev/null
pgsuper -c 'alter system set log_min_duration_statement = 0' -c 'alter system set log_parameter_max_length = 0' \
    -c 'select pg_reload_conf()'
logged=$(wc -l <"$TOLVAN_TEST_PG_LOG")
client=$("$bin/tolvan-bench" import "$pg" "select * from u where 1 = 0" "$work/t.csv" csv | field_of seconds)
pgsuper -c 'alter system reset log_min_duration_statement' -c 'alter system reset log_parameter_max_length' \
    -c 'select pg_reload_conf()'
server=$(tail -n +"$((logged + 1))" "$TOLVAN_TEST_PG_LOG" | grep 'duration: .*INSERT INTO' |
    sed 's/.*duration: \([0-9.]*\) ms.*/\1/' | awk '{s += $1} END {printf "%.2f", s / 1000}')
statements=$(tail -n +"$((logged + 1))" "$TOLVAN_TEST_PG_LOG" | grep -c 'duration: .*execute.*INSERT INTO' || true)
echo "postgres import, one run with every statement logged: ${client}s in all, the server ${server}s in ${statements} inserts"

sqlite3 "$work/imp.db" "create table u (id integer, code varchar(10), name nvarchar(40), note varchar(200), amount decimal(12,2), created timestamp, flag boolean)"
ref=$(timed bash -c "rm -f '$work/imp2.db'; cp '$work/imp.db' '$work/imp2.db'; sqlite3 '$work/imp2.db' '.mode csv' '.import $work/t.csv u'")
imp="Provider=Microsoft.Jet.OLEDB.4.0;Password=;User ID=;Data Source=$work/imp2.db;Persist Security Info=True"
report "sqlite import loop against .import" "$ref" \
    "$(transfer_runs "rm -f '$work/imp2.db'; cp '$work/imp.db' '$work/imp2.db'" import "$imp" "select * from u where 1 = 0" "$work/t.csv" csv)" 1.1

# The window: the median of first_screen and completed over the runs, and the memory above
# the program's size before the read began.
window_runs() { # setup, then the tolvan-gridbench arguments
    local setup=$1 i out
    shift
    for ((i = 0; i < runs; i++)); do
        eval "$setup"
        out=$(QT_QPA_PLATFORM=offscreen "$bin/tolvan-gridbench" "$@" 2>/dev/null)
        echo "$(echo "$out" | field_of first_screen) $(echo "$out" | field_of completed) \
$(awk -v a="$(echo "$out" | field_of peak_rss_mb)" -v b="$(echo "$out" | field_of rss_before_mb)" 'BEGIN {print a - b}') \
$(echo "$out" | field_of rows) $(echo "$out" | field_of held_mb)"
    done | sort -n | awk '{a[NR]=$0} END {print a[int((NR+1)/2)]}'
}
window_report() { # label, target, first_screen-completed-peak-rows-held
    read -r first done peak rows held <<<"$3"
    echo "$1: first screen ${first}s (target $2), whole read ${done}s, $rows rows; peak +${peak} MB above the program before, of which the grid holds ${held} MB"
}

window_report "sqlite F5 on 1,000,000 rows" 0.1 "$(window_runs : --refresh "$lite" "select * from t")"
window_report "postgres F5 on 1,000,000 rows" "the first block" \
    "$(window_runs : --refresh "$pg" "select * from t")"

# 100 new rows of the table's shape, their keys past the last row's.
sqlite3 -csv "$work/t.db" "select id + 1000000, code, name, note, amount, created, flag from t where id <= 100" >"$work/lite100.csv"
psql "${pgconn[@]}" -c "\\copy (select id + 1000000, code, name, note, amount, created, flag from t where id <= 100) to '$work/pg100.csv' csv"
window_report "sqlite import of 100 rows into the 1,000,000-row result" 0.2 \
    "$(window_runs "sqlite3 '$work/t.db' 'delete from t where id > 1000000'" --import "$lite" "select * from t" "$work/lite100.csv")"
window_report "postgres import of 100 rows into the 1,000,000-row result" 0.2 \
    "$(window_runs "psql \"\${pgconn[@]}\" -c 'delete from t where id > 1000000' >/dev/null" --import "$pg" "select * from t" "$work/pg100.csv")"
