#!/usr/bin/env bash
# The batch targets, side by side in one run: the export of all tables of a database of 20
# tables (1,000,000 rows in all) and its re-import through the batch file, against the
# single-table export and import of the same 1,000,000 rows; time and peak memory, median of
# RUNS runs, on SQLite.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
build=${TOLVAN_BUILD_DIR:-build}
bin=$build/bin
runs=${RUNS:-3}
work=$(mktemp -d /tmp/tolvan-batchbench.XXXXXX)
trap 'rm -rf "$work"' EXIT
# Loading the batch file remembers its folder: keep that out of the user's settings.
export XDG_CONFIG_HOME=$work/config

median() { sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN {printf "%.2f", a / b}'; }

"$bin/tolvan-gen" sqlite "$work/t.db" >/dev/null
ddl=$(sqlite3 "$work/t.db" "select sql from sqlite_master where name = 't'")
tables=()
{
    echo "BEGIN;"
    echo "${ddl/CREATE TABLE t/CREATE TABLE t_copy};"
    for i in $(seq -w 1 20); do
        echo "${ddl/CREATE TABLE t/CREATE TABLE t$i};"
        echo "INSERT INTO t$i SELECT * FROM t WHERE (rowid - 1) % 20 = $((10#$i - 1));"
    done
    echo "COMMIT;"
} | sqlite3 "$work/t.db"
for i in $(seq -w 1 20); do tables+=("t$i"); done
lite="Provider=Microsoft.Jet.OLEDB.4.0;Password=;User ID=;Data Source=$work/t.db;Persist Security Info=True"

field() { tr ' ' '\n' | sed -n "s/^$1=//p"; }
single=()
all=()
for ((i = 0; i < runs; i++)); do
    sqlite3 "$work/t.db" "DELETE FROM t_copy"
    rm -rf "$work/out" && mkdir "$work/out"
    single+=("$("$bin/tolvan-batchbench" single "$lite" t t_copy "$work/out" 2>/dev/null)")
    rm -rf "$work/out" && mkdir "$work/out"
    all+=("$("$bin/tolvan-batchbench" all "$lite" "$work/out" "${tables[@]}" 2>/dev/null)")
done
for f in export_seconds import_seconds peak_kb; do
    s=$(printf '%s\n' "${single[@]}" | field $f | median)
    a=$(printf '%s\n' "${all[@]}" | field $f | median)
    echo "$f: one table ${s}, 20 tables ${a}, ratio $(ratio "$a" "$s") (target 1.3)"
done
echo "rows: one table $(printf '%s\n' "${single[0]}" | field rows), 20 tables $(printf '%s\n' "${all[0]}" | field rows)"
