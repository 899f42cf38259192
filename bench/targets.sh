#!/usr/bin/env bash
# Measures the data-access targets on a 1,000,000-row table: fetch through the layer against
# sqlite3, psql and the mariadb client on the same data, peak memory against the table's CSV
# size, sort, and the
# insert path (AddNew/Update) against sqlite3 .import. Prints the median of RUNS runs.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/bench_env.sh"

# TARGETS=transfer measures only the CSV and TAB commands below.
if [[ ${TARGETS:-all} != transfer ]]; then
s_ref=$(timed sqlite3 "$work/t.db" 'select * from t')
s_layer=$(bench_field seconds fetch "$lite" "select * from t")
s_peak=$(bench_field peak_kb fetch "$lite" "select * from t")
echo "sqlite fetch: sqlite3 ${s_ref}s, layer ${s_layer}s, ratio $(ratio "$s_layer" "$s_ref") (target 1.5)"
echo "sqlite peak memory: ${s_peak} KB for a ${csv_kb} KB CSV, ratio $(ratio "$s_peak" "$csv_kb") (target 2)"

p_ref=$(timed psql -h "$TOLVAN_TEST_PG_HOST" -p "$TOLVAN_TEST_PG_PORT" -U "$TOLVAN_TEST_PG_USER" -At \
    -c 'select * from t' "$TOLVAN_TEST_PG_DB")
p_layer=$(bench_field seconds fetch "$pg" "select * from t")
p_peak=$(bench_field peak_kb fetch "$pg" "select * from t")
echo "postgres fetch: psql ${p_ref}s, layer ${p_layer}s, ratio $(ratio "$p_layer" "$p_ref") (target 2)"
floor=$(for ((i = 0; i < runs; i++)); do
    "$bin/odbc-floor" "DSN=$TOLVAN_TEST_PG_DSN;UID=$TOLVAN_TEST_PG_USER;PWD=$TOLVAN_TEST_PG_PASSWORD;UseDeclareFetch=1;Fetch=10000;BoolsAsChar=0" |
        sed -n 's/.*seconds=//p'
done | median)
echo "postgres fetch through psqlODBC alone, storing nothing: ${floor}s, ratio to psql $(ratio "$floor" "$p_ref")"
echo "postgres peak memory: ${p_peak} KB for a ${csv_kb} KB CSV, ratio $(ratio "$p_peak" "$csv_kb") (target 2)"

m_ref=$(timed mariadb --no-defaults -h "$TOLVAN_TEST_MARIA_HOST" -P "$TOLVAN_TEST_MARIA_PORT" \
    -u "$TOLVAN_TEST_MARIA_USER" -p"$TOLVAN_TEST_MARIA_PASSWORD" -B -e 'select * from t' \
    "$TOLVAN_TEST_MARIA_DB")
m_layer=$(bench_field seconds fetch "$maria" "select * from t")
m_peak=$(bench_field peak_kb fetch "$maria" "select * from t")
echo "mariadb fetch: mariadb -B ${m_ref}s, layer ${m_layer}s, ratio $(ratio "$m_layer" "$m_ref") (target 2)"
# The driver alone, text as UTF-8 as the layer reads it, and as wide characters.
for form in utf8 wide; do
    floor=$(for ((i = 0; i < runs; i++)); do
        "$bin/odbc-floor" "DSN=$TOLVAN_TEST_MARIA_DSN;UID=$TOLVAN_TEST_MARIA_USER;PWD=$TOLVAN_TEST_MARIA_PASSWORD;CHARSET=utf8mb4" $form |
            sed -n 's/.*seconds=//p'
    done | median)
    echo "mariadb fetch through MariaDB Connector/ODBC alone ($form text), storing nothing: ${floor}s, ratio to mariadb -B $(ratio "$floor" "$m_ref")"
done
echo "mariadb peak memory: ${m_peak} KB for a ${csv_kb} KB CSV, ratio $(ratio "$m_peak" "$csv_kb") (target 2)"

grid=$(for ((i = 0; i < runs; i++)); do
    QT_QPA_PLATFORM=offscreen "$bin/tolvan-gridbench" "$lite" "select * from t" 2>/dev/null | sed -n 's/.*execute_to_paint=\([0-9.]*\).*/\1/p'
done | median)
scroll=$(QT_QPA_PLATFORM=offscreen "$bin/tolvan-gridbench" "$lite" "select * from t" 2>/dev/null | sed -n 's/.*scroll_to_end=\([0-9.]*\).*/\1/p')
open=$(bench_field open_seconds fetch "$lite" "select * from t")
echo "grid: execute until painted ${grid}s, layer fetch alone ${open}s, ratio $(ratio "$grid" "$open") (target 1.3); scroll to the last row ${scroll}s"
fit=$(QT_QPA_PLATFORM=offscreen "$bin/tolvan-fitbench" "$lite" "select * from t" 2>/dev/null | sed -n 's/.*all_columns_fit_seconds=//p')
echo "grid: every column fitted to all rows (double-clicked borders) ${fit}s"

# 1M cells: the status bar's count, sum, average, minimum and maximum of a whole selection.
for conn in lite pg; do
    s=$(QT_QPA_PLATFORM=offscreen "$bin/tolvan-gridbench" --summary "${!conn}" "select id, amount from t where id <= 500000" 2>/dev/null)
    echo "selection summed up ($conn): $(echo "$s" | sed -n 's/.*summary_seconds=\([0-9.]*\).*longest_wait_seconds=\([0-9.]*\).*cells=\([0-9]*\).*/\3 cells in \1s, the longest wait for events \2s/p') (target 0.2s for 1M)"
done

for col in name amount; do
    ref=$(timed sqlite3 "$work/t.db" "select * from t order by $col")
    layer=$(bench_field sort_seconds sort "$lite" "select * from t" "$col asc")
    open=$(bench_field open_seconds sort "$lite" "select * from t" "$col asc")
    echo "sort by $col: sqlite3 order by ${ref}s; layer open ${open}s + sort ${layer}s"
done

# The insert path: every row of t through AddNew/Update into an empty copy.
sqlite3 "$work/t.db" "create table u as select * from t where 0"
ins=$(bench_field insert_seconds copy "$lite" "select * from t" "select * from u where 1 = 2")
sqlite3 "$work/imp.db" "create table u (id integer, code varchar(10), name nvarchar(40), note varchar(200), amount decimal(12,2), created timestamp, flag boolean)"
imp=$(timed bash -c "rm -f '$work/imp2.db'; cp '$work/imp.db' '$work/imp2.db'; sqlite3 '$work/imp2.db' '.mode csv' '.import $work/t.csv u'")
echo "insert 1,000,000 rows: layer ${ins}s, sqlite3 .import ${imp}s, ratio $(ratio "$ins" "$imp") (target 1.5)"
fi

# The CSV and TAB commands (export and import) through the very functions behind the menu,
# side by side with sqlite3 and psql on the same table and file.
ref=$(timed bash -c "sqlite3 -csv '$work/t.db' 'select * from t' > '$work/ref.csv'")
report "sqlite export csv" "$ref" "$(transfer_runs : export "$lite" "select * from t" "$work/out.csv" csv)" 1.2
report "sqlite export tab" "$ref" "$(transfer_runs : export "$lite" "select * from t" "$work/out.tab" tab)" 1.2

pgconn=(-X -q -h "$TOLVAN_TEST_PG_HOST" -p "$TOLVAN_TEST_PG_PORT" -U "$TOLVAN_TEST_PG_USER" "$TOLVAN_TEST_PG_DB")
ref=$(timed psql "${pgconn[@]}" -c "\\copy t to '$work/pgref.csv' csv")
pg_export_ref=$ref
report "postgres export csv" "$ref" "$(transfer_runs : export "$pg" "select * from t" "$work/pgout.csv" csv)" 2

schema="create table u (id integer, code varchar(10), name nvarchar(40), note varchar(200), amount decimal(12,2), created timestamp, flag boolean)"
rm -f "$work/imp.db"
sqlite3 "$work/imp.db" "$schema"
ref=$(timed bash -c "rm -f '$work/imp2.db'; cp '$work/imp.db' '$work/imp2.db'; sqlite3 '$work/imp2.db' '.mode csv' '.import $work/t.csv u'")
imp="Provider=Microsoft.Jet.OLEDB.4.0;Password=;User ID=;Data Source=$work/imp2.db;Persist Security Info=True"
fresh="rm -f '$work/imp2.db'; cp '$work/imp.db' '$work/imp2.db'"
report "sqlite import csv" "$ref" "$(transfer_runs "$fresh" import "$imp" "select * from u" "$work/t.csv" csv)" 1.5
# The loop alone: a current result that stays empty, so the re-query at the end reads nothing.
report "sqlite import csv, loop alone (nothing to re-query)" "$ref" \
    "$(transfer_runs "$fresh" import "$imp" "select * from u where 1 = 0" "$work/t.csv" csv)" 1.5
report "sqlite import csv, whole table as target" "$ref" \
    "$(transfer_runs "$fresh" import "$imp" "select * from u order by id" "$work/t.csv" csv)" 1.5
# The same into a table that already holds the million rows, shown in the grid meanwhile.
cp "$work/imp2.db" "$work/full.db"
full="rm -f '$work/imp2.db'; cp '$work/full.db' '$work/imp2.db'"
report "sqlite import csv, whole table of 1,000,000 rows as target" "$ref" \
    "$(transfer_runs "$full" import "$imp" "select * from u order by id" "$work/t.csv" csv)" 1.5

psql "${pgconn[@]}" -c "drop table if exists u" -c "create table u (like t)" >/dev/null
# psql's \copy runs in psql: a script keeps its quoting out of the timing command.
printf '%s\n' 'truncate u;' "\\copy u from '$work/t.csv' csv" >"$work/pgimport.sql"
ref=$(timed psql "${pgconn[@]}" -f "$work/pgimport.sql")
report "postgres import csv" "$ref" \
    "$(transfer_runs "psql \"\${pgconn[@]}\" -c 'truncate u' >/dev/null" import "$pg" "select * from u" "$work/t.csv" csv)" 3
report "postgres import csv, loop alone (nothing to re-query)" "$ref" \
    "$(transfer_runs "psql \"\${pgconn[@]}\" -c 'truncate u' >/dev/null" import "$pg" "select * from u where 1 = 0" "$work/t.csv" csv)" 3
# What the driver alone costs: reading the million rows back (the re-query at the end of an
# import, the reading half of an export), storing nothing.
floor=$(for ((i = 0; i < runs; i++)); do
    "$bin/odbc-floor" "DSN=$TOLVAN_TEST_PG_DSN;UID=$TOLVAN_TEST_PG_USER;PWD=$TOLVAN_TEST_PG_PASSWORD;UseDeclareFetch=1;Fetch=10000;BoolsAsChar=0" |
        sed -n 's/.*seconds=//p'
done | median)
echo "postgres: psqlODBC reading the 1,000,000 rows, storing nothing, ${floor}s, ratio to \\copy to a file $(ratio "$floor" "$pg_export_ref")"

# The browser page and the Excel workbook through the functions behind the menu, the desktop's
# opening answered by the driver. Memory: the output's peak above the program's size before it.
output_runs() { # field ("seconds" or "growth"), then a tolvan-bench command line; median of $runs
    local field=$1 i out
    shift
    for ((i = 0; i < runs; i++)); do
        out=$("$bin/tolvan-bench" "$@")
        rm -f "$work"/out/temp*.html "$work"/out/Book*.xlsx
        if [[ $field == growth ]]; then
            awk -v a="$(echo "$out" | field_of peak_rss_mb)" -v b="$(echo "$out" | field_of before_rss_mb)" 'BEGIN {print a - b}'
        else
            echo "$out" | field_of "$field"
        fi
    done | median
}
if [[ ${TARGETS:-all} != transfer ]]; then
    # The query box's colouring while typing in a text of 10,000 lines (target: a key in
    # under 16 ms).
    QT_QPA_PLATFORM=offscreen "$bin/tolvan-highlightbench" 10000 2>/dev/null
    # The grid's find bar over the million rows held (target 0.3 s), ignoring case or not.
    for text in abc Abc 2019 東京; do
        "$bin/tolvan-findbench" "$lite" "select * from t" "$text"
    done
    "$bin/tolvan-findbench" "$lite" "select * from t" abc case
    mkdir -p "$work/out"
    ref=$(timed bash -c "sqlite3 -html '$work/t.db' 'select * from t' > '$work/ref.html'")
    s=$(output_runs seconds html "$lite" "select * from t" "$work/out")
    m=$(output_runs growth html "$lite" "select * from t" "$work/out")
    echo "html page of 1,000,000 rows: sqlite3 -html ${ref}s, Tolvan ${s}s, ratio $(ratio "$s" "$ref") (target 1.5); peak +${m} MB (target < 100)"
    s=$(output_runs seconds excel "$lite" "select * from t limit 100000" "$work/out")
    m=$(output_runs growth excel "$lite" "select * from t limit 100000" "$work/out")
    echo "xlsx of 100,000 rows x 7 columns: ${s}s (target 3); peak +${m} MB (target < 200)"
    big=$("$bin/tolvan-bench" excel "$lite" "select * from t" "$work/out" | tail -n1)
    rm -f "$work"/out/Book*.xlsx
    echo "xlsx of 1,000,000 rows x 7 columns, one run: $big"
fi
