# The 1,000,000-row table t (ROWS: another number of rows) in a SQLite file, as CSV, on PostgreSQL and on MariaDB, the servers
# and their data sources, and the timing helpers every target script uses. Sourced.
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
bash scripts/build.sh >/dev/null
build=${TOLVAN_BUILD_DIR:-build}
bin=$build/bin
runs=${RUNS:-5}
work=$(mktemp -d /tmp/tolvan-bench.XXXXXX)

source scripts/pg.sh
source scripts/mariadb.sh
source scripts/odbc.sh
cleanup() { pg_stop; mariadb_stop; rm -rf "$work"; }
trap cleanup EXIT

median() { sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
# Wall seconds of a command, the median of $runs runs.
timed() {
    local i
    for ((i = 0; i < runs; i++)); do
        /usr/bin/time -f %e "$@" 2>&1 >/dev/null | tail -n1
    done | median
}
# Field of the layer's own report ("seconds", "peak_kb"), median of $runs runs.
bench_field() {
    local field=$1 i
    shift
    for ((i = 0; i < runs; i++)); do
        "$bin/tolvan-bench" "$@" | tr ' ' '\n' | sed -n "s/^$field=//p" | tail -n1
    done | median
}
ratio() { awk -v a="$1" -v b="$2" 'BEGIN {printf "%.2f", a / b}'; }

"$bin/tolvan-gen" sqlite "$work/t.db" ${ROWS:-} >/dev/null
"$bin/tolvan-gen" csv "$work/t.csv" ${ROWS:-} >/dev/null
csv_kb=$(($(stat -c %s "$work/t.csv") / 1024))

pg_start >/dev/null
mariadb_start >/dev/null
odbc_setup "$work/odbc" >/dev/null
TOLVAN_GEN=$bin/tolvan-gen bash bench/load_pg.sh "$work/t.csv" >/dev/null
bash bench/load_mariadb.sh "$work/t.csv"
export PGPASSWORD=$TOLVAN_TEST_PG_PASSWORD

lite="Provider=Microsoft.Jet.OLEDB.4.0;Password=;User ID=;Data Source=$work/t.db;Persist Security Info=True"
pg="Provider=MSDASQL.1;Password=$TOLVAN_TEST_PG_PASSWORD;Persist Security Info=True;User ID=$TOLVAN_TEST_PG_USER;Data Source=$TOLVAN_TEST_PG_DSN"
maria="Provider=MSDASQL.1;Password=$TOLVAN_TEST_MARIA_PASSWORD;Persist Security Info=True;User ID=$TOLVAN_TEST_MARIA_USER;Data Source=$TOLVAN_TEST_MARIA_DSN"

# Memory of a command: its peak resident size above the program's size just before it.
field_of() { tr ' ' '\n' | sed -n "s/^$1=//p" | tail -n1; }
# Median of runs of "$@" (a tolvan-bench command line) for the fields seconds, peak above
# the size before, and the loop's peak above it; a setup command runs before each.
transfer_runs() {
    local setup=$1 i out
    shift
    for ((i = 0; i < runs; i++)); do
        eval "$setup"
        out=$("$bin/tolvan-bench" "$@")
        echo "$(echo "$out" | field_of seconds) \
$(awk -v a="$(echo "$out" | field_of peak_rss_mb)" -v b="$(echo "$out" | field_of before_rss_mb)" 'BEGIN {print a - b}') \
$(awk -v a="$(echo "$out" | field_of loop_peak_rss_mb)" -v b="$(echo "$out" | field_of before_rss_mb)" 'BEGIN {print a - b}')"
    done | sort -n | awk '{a[NR]=$0} END {print a[int((NR+1)/2)]}'
}
report() { # label reference seconds-peak-loop
    read -r s peak loop <<<"$3"
    echo "$1: reference ${2}s, Tolvan ${s}s, ratio $(ratio "$s" "$2") (target $4); peak +${peak} MB, loop peak +${loop} MB (target < 100)"
}

