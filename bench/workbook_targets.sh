#!/usr/bin/env bash
# A workbook import beside the same rows as CSV: ROWS (default 1,000,000) rows written by
# openpyxl into big.xlsx and by Python's csv module into big.csv, each imported into an empty
# SQLite table by the loop alone (tolvan-bench) and through the real main window on Xvfb with
# openbox (tolvan-gridbench --import): the time and the peak memory. Medians of RUNS (default 3).
set -euo pipefail
RUNS=${RUNS:-3}
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
source scripts/xserver.sh
x_install
bash scripts/build.sh >/dev/null
bin=${TOLVAN_BUILD_DIR:-build}/bin
work=$(mktemp -d /tmp/tolvan-workbook.XXXXXX)
xpids=()
cleanup() {
    for pid in "${xpids[@]}"; do kill "$pid" 2>/dev/null || true; done
    rm -rf "$work"
}
trap cleanup EXIT
x_start 1600x1000 xpids
export QT_QPA_PLATFORM=xcb LANG=C.UTF-8 XDG_CONFIG_HOME=$work/config

/usr/bin/python3 tests/transfer/make_workbooks.py "$work" "${ROWS:-1000000}"
echo "big.xlsx $(($(stat -c %s "$work/big.xlsx") / 1024)) KB, big.csv $(($(stat -c %s "$work/big.csv") / 1024)) KB"
db=$work/w.db
sqlite3 "$db" "create table w (id integer, name varchar(40), v double, code varchar(20), n integer)"
lite="Provider=Microsoft.Jet.OLEDB.4.0;Password=;User ID=;Data Source=$db;Persist Security Info=True"

median() { sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
field() { tr ' ' '\n' | sed -n "s/^$1=//p" | tail -n1; }
# Median of field $1 over the runs of the rest of the line, the table emptied before each.
runs_of() {
    local name=$1 i
    shift
    for ((i = 0; i < RUNS; i++)); do
        sqlite3 "$db" "delete from w"
        "$@" 2>/dev/null | field "$name"
    done | median
}
for file in big.csv big.xlsx; do
    loop=$(runs_of seconds "$bin/tolvan-bench" import "$lite" "select * from w" "$work/$file" csv)
    loop_peak=$(runs_of peak_rss_mb "$bin/tolvan-bench" import "$lite" "select * from w" "$work/$file" csv)
    window=$(runs_of completed "$bin/tolvan-gridbench" --import "$lite" "select * from w" "$work/$file")
    window_peak=$(runs_of peak_rss_mb "$bin/tolvan-gridbench" --import "$lite" "select * from w" "$work/$file")
    echo "$file: loop ${loop}s (peak ${loop_peak} MB), window ${window}s (peak ${window_peak} MB); rows $(sqlite3 "$db" "select count(*) from w")"
done
