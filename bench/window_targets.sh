#!/usr/bin/env bash
# The transfers as the user waits for them: through the real main window and batch window on a
# real X server (Xvfb) with a window manager (openbox), on the 1,000,000-row table, each beside
# the loop alone (tolvan-bench, tolvan-batchbench) and the database's own tool in the same run.
# Medians of RUNS (default 3) runs. BEFORE=path/to/an/older/tolvan-windowbench measures that
# program too, on the same data; PARTS="sqlite postgres mariadb batch outputs escape" (the default)
# chooses what is measured. Installs Xvfb and openbox when they are missing (root).
set -euo pipefail
RUNS=${RUNS:-3}
source "$(dirname "${BASH_SOURCE[0]}")/../scripts/xserver.sh"
x_install
source "$(dirname "${BASH_SOURCE[0]}")/bench_env.sh"

xpids=()
x_start 1600x1000 xpids
cleanup_x() { for pid in "${xpids[@]}"; do kill "$pid" 2>/dev/null || true; done; cleanup; }
trap cleanup_x EXIT
export QT_QPA_PLATFORM=xcb LANG=C.UTF-8
# A desktop application for the page and the workbook, so that the outputs open them (the
# program hands the file to the desktop, which the benchmark answers itself).
mkdir -p "$work/xdg/applications"
printf '[Desktop Entry]\nType=Application\nName=Stub\nExec=/bin/true %%f\nMimeType=text/html;application/vnd.openxmlformats-officedocument.spreadsheetml.sheet;\n' \
    >"$work/xdg/applications/stub.desktop"
export XDG_DATA_DIRS=$work/xdg:/usr/share

windows=("$bin/tolvan-windowbench")
[[ -n ${BEFORE:-} ]] && windows+=("$BEFORE")
label() { [[ $1 == "$bin/tolvan-windowbench" ]] && echo "window" || echo "window before ($1)"; }
part() { [[ " ${PARTS:-sqlite postgres mariadb batch outputs escape} " == *" $1 "* ]]; }
# Median seconds of runs of a command line that prints seconds=S; a setup command runs first.
secs() {
    local setup=$1 i
    shift
    for ((i = 0; i < runs; i++)); do
        eval "$setup"
        "$@" 2>/dev/null | field_of "${FIELD:-seconds}"
    done | median
}
# One run's whole report line, for the paints and the status shown.
once() { "$@" 2>/dev/null | head -n1; }
line() { # label tool loop window target
    echo "$1: tool ${2}s, loop ${3}s, $4 ${5}s; window/tool $(ratio "$5" "$2"), window/loop $(ratio "$5" "$3") (target $6)"
}

schema="create table u (id integer, code varchar(10), name nvarchar(40), note varchar(200), amount decimal(12,2), created timestamp, flag boolean)"
rm -f "$work/imp.db"
sqlite3 "$work/imp.db" "$schema"
imp="Provider=Microsoft.Jet.OLEDB.4.0;Password=;User ID=;Data Source=$work/imp2.db;Persist Security Info=True"
fresh="rm -f '$work/imp2.db'; cp '$work/imp.db' '$work/imp2.db'"

if part sqlite; then
    tool=$(timed bash -c "$fresh; sqlite3 '$work/imp2.db' '.mode csv' '.import $work/t.csv u'")
    loop=$(secs "$fresh" "$bin/tolvan-bench" import "$imp" "select * from u" "$work/t.csv" csv)
    for w in "${windows[@]}"; do
        s=$(secs "$fresh" "$w" import "$imp" "select * from u" "$work/t.csv" csv)
        line "sqlite csv import (sqlite3 .import)" "$tool" "$loop" "$(label "$w")" "$s" "1.5 x tool"
        eval "$fresh"
        echo "  one run: $(once "$w" import "$imp" "select * from u" "$work/t.csv" csv)"
        s=$(secs "$fresh" "$w" drop "$imp" "select * from u" "$work/t.csv" csv)
        line "sqlite csv dropped file" "$tool" "$loop" "$(label "$w")" "$s" "1.5 x tool"
    done
    tool=$(timed bash -c "sqlite3 -csv '$work/t.db' 'select * from t' > '$work/ref.csv'")
    for sep in csv tab; do
        loop=$(secs : "$bin/tolvan-bench" export "$lite" "select * from t" "$work/out.$sep" $sep)
        for w in "${windows[@]}"; do
            s=$(secs : "$w" export "$lite" "select * from t" "$work/out.$sep" $sep)
            line "sqlite $sep export (sqlite3 -csv)" "$tool" "$loop" "$(label "$w")" "$s" "1.3 x tool"
            echo "  one run: $(once "$w" export "$lite" "select * from t" "$work/out.$sep" $sep)"
        done
    done
fi

if part mariadb; then
    mconn=(-h "$TOLVAN_TEST_MARIA_HOST" -P "$TOLVAN_TEST_MARIA_PORT" -u "$TOLVAN_TEST_MARIA_USER" -p"$TOLVAN_TEST_MARIA_PASSWORD" "$TOLVAN_TEST_MARIA_DB")
    mariadb --no-defaults "${mconn[@]}" -e "drop table if exists u; create table u like t"
    printf '%s\n' 'truncate u;' "LOAD DATA LOCAL INFILE '$work/t.csv' INTO TABLE u FIELDS TERMINATED BY ',' OPTIONALLY ENCLOSED BY '\"' ESCAPED BY '' LINES TERMINATED BY '\\n' (id, code, name, @note, amount, created, flag) SET note = NULLIF(@note, '');" >"$work/mimport.sql"
    truncate="mariadb --no-defaults ${mconn[*]@Q} -e 'truncate u'"
    tool=$(timed bash -c "mariadb --no-defaults --local-infile=1 ${mconn[*]@Q} <'$work/mimport.sql'")
    loop=$(secs "$truncate" "$bin/tolvan-bench" import "$maria" "select * from u" "$work/t.csv" csv)
    for w in "${windows[@]}"; do
        s=$(secs "$truncate" "$w" import "$maria" "select * from u" "$work/t.csv" csv)
        line "mariadb csv import (LOAD DATA LOCAL)" "$tool" "$loop" "$(label "$w")" "$s" "1.15 x loop"
    done
    tool=$(timed bash -c "mariadb --no-defaults --quick -B ${mconn[*]@Q} -e 'select * from t' >'$work/mref.tsv'")
    loop=$(secs : "$bin/tolvan-bench" export "$maria" "select * from t" "$work/mout.csv" csv)
    for w in "${windows[@]}"; do
        s=$(secs : "$w" export "$maria" "select * from t" "$work/mout.csv" csv)
        line "mariadb csv export (mariadb --quick -B)" "$tool" "$loop" "$(label "$w")" "$s" "1.15 x loop"
    done
fi

if part postgres; then
    pgconn=(-X -q -h "$TOLVAN_TEST_PG_HOST" -p "$TOLVAN_TEST_PG_PORT" -U "$TOLVAN_TEST_PG_USER" "$TOLVAN_TEST_PG_DB")
    psql "${pgconn[@]}" -c "drop table if exists u" -c "create table u (like t)" >/dev/null
    printf '%s\n' 'truncate u;' "\\copy u from '$work/t.csv' csv" >"$work/pgimport.sql"
    truncate="psql ${pgconn[*]} -c 'truncate u' >/dev/null"
    tool=$(timed psql "${pgconn[@]}" -f "$work/pgimport.sql")
    loop=$(secs "$truncate" "$bin/tolvan-bench" import "$pg" "select * from u" "$work/t.csv" csv)
    for w in "${windows[@]}"; do
        s=$(secs "$truncate" "$w" import "$pg" "select * from u" "$work/t.csv" csv)
        line "postgres csv import (\\copy from)" "$tool" "$loop" "$(label "$w")" "$s" "1.15 x loop"
    done
    tool=$(timed psql "${pgconn[@]}" -c "\\copy t to '$work/pgref.csv' csv")
    loop=$(secs : "$bin/tolvan-bench" export "$pg" "select * from t" "$work/pgout.csv" csv)
    for w in "${windows[@]}"; do
        s=$(secs : "$w" export "$pg" "select * from t" "$work/pgout.csv" csv)
        line "postgres csv export (\\copy to)" "$tool" "$loop" "$(label "$w")" "$s" "1.15 x loop"
    done
fi

if part batch; then
    # The loop alone: the batch runners' single-table export and import without a window.
    sqlite3 "$work/t.db" "create table if not exists t_copy as select * from t where 0"
    single=$(for ((i = 0; i < runs; i++)); do
        sqlite3 "$work/t.db" "delete from t_copy"
        rm -rf "$work/bout" && mkdir "$work/bout"
        "$bin/tolvan-batchbench" single "$lite" t t_copy "$work/bout" 2>/dev/null
    done)
    loop_export=$(echo "$single" | tr ' ' '\n' | sed -n 's/^export_seconds=//p' | median)
    loop_import=$(echo "$single" | tr ' ' '\n' | sed -n 's/^import_seconds=//p' | median)
    tool=$(timed bash -c "$fresh; sqlite3 '$work/imp2.db' '.mode csv' '.import $work/t.csv u'")
    for w in "${windows[@]}"; do
        s=$(secs "$fresh" "$w" batch-import "$imp" u "$work/t.csv" csv)
        line "batch csv import" "$tool" "$loop_import" "$(label "$w")" "$s" "1.2 x loop"
        s=$(secs "rm -f '$work/bexp.csv'" "$w" batch-export "$lite" t "$work/bexp.csv" csv)
        line "batch csv export" "$tool" "$loop_export" "$(label "$w")" "$s" "1.2 x loop"
        s=$(secs "rm -rf '$work/all' && mkdir '$work/all'" "$w" export-all "$lite" t "$work/all/" csv)
        line "batch export of all tables (one table)" "$tool" "$loop_export" "$(label "$w")" "$s" "1.2 x loop"
    done
fi

if part outputs; then
    mkdir -p "$work/out"
    tool=$(timed bash -c "sqlite3 -html '$work/t.db' 'select * from t' > '$work/ref.html'")
    loop=$(secs "rm -f '$work'/out/temp*.html" "$bin/tolvan-bench" html "$lite" "select * from t" "$work/out")
    for w in "${windows[@]}"; do
        s=$(secs "rm -f '$bin'/temp*.html" "$w" html "$lite" "select * from t")
        line "html page (sqlite3 -html)" "$tool" "$loop" "$(label "$w")" "$s" "loop"
    done
    loop=$(secs "rm -f '$work'/out/Book*.xlsx" "$bin/tolvan-bench" excel "$lite" "select * from t limit 100000" "$work/out")
    for w in "${windows[@]}"; do
        s=$(secs : "$w" excel "$lite" "select * from t limit 100000")
        line "xlsx of 100,000 rows (no tool)" "$loop" "$loop" "$(label "$w")" "$s" "loop"
    done
    rm -f "$bin"/temp*.html
fi

if part escape; then
    for w in "${windows[@]}"; do
        s=$(FIELD=escape_to_question secs "$fresh" "$w" escape "$imp" "select * from u" "$work/t.csv" csv)
        echo "escape during a 1,000,000-row import, $(label "$w"): question after ${s}s (target 0.1)"
    done
fi
