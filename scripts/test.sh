#!/usr/bin/env bash
# Installs, builds and runs every test against a private PostgreSQL cluster, a private
# MariaDB server and ODBC configuration. Extra arguments go to ctest.
# In CI (CI set and not "false"/"0"), or when asked, two more runs follow:
#   TOLVAN_TEST_SANITIZE=1  the same tests built with ASan + UBSan in build-asan
#                           (TOLVAN_SANITIZE_BUILD_DIR); any report fails the run
#   TOLVAN_TEST_TSAN=1      the tests that run statements on a worker thread, built with
#                           ThreadSanitizer in build-tsan (TOLVAN_TSAN_BUILD_DIR)
#   TOLVAN_TEST_FUZZ=1      each fuzz program for TOLVAN_FUZZ_SECONDS (default 30) seconds
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"

if ((EUID != 0)); then
    echo "test.sh: must run as root (PostgreSQL runs via runuser, MariaDB drops to mysql)" >&2
    exit 1
fi

ci=0
case ${CI:-} in "" | 0 | false | FALSE | False) ;; *) ci=1 ;; esac
# The one reading of CI: the tests ask TOLVAN_CI, never CI itself.
export TOLVAN_CI=$ci
sanitize=${TOLVAN_TEST_SANITIZE:-$ci}
tsan=${TOLVAN_TEST_TSAN:-$ci}
fuzz=${TOLVAN_TEST_FUZZ:-$ci}
# The statement run, arriving rows, cancel, a server lost mid-statement, and the forward-only
# read ahead on its worker (statements and exports).
tsan_tests=(tst_executequery tst_arrivingrows tst_serverloss tst_exportfaults tst_statements tst_export)

bash scripts/build.sh
# The build installed clang-format with the other tools: the sources must keep .clang-format.
bash scripts/format.sh
build=${TOLVAN_BUILD_DIR:-build}
asan_build=${TOLVAN_SANITIZE_BUILD_DIR:-build-asan}
if [[ $sanitize == 1 ]]; then
    TOLVAN_BUILD_DIR=$asan_build TOLVAN_CMAKE_ARGS=-DTOLVAN_SANITIZE=ON bash scripts/build.sh
fi
tsan_build=${TOLVAN_TSAN_BUILD_DIR:-build-tsan}
if [[ $tsan == 1 ]]; then
    TOLVAN_BUILD_DIR=$tsan_build TOLVAN_CMAKE_ARGS=-DTOLVAN_TSAN=ON \
        TOLVAN_BUILD_TARGETS="${tsan_tests[*]}" bash scripts/build.sh
fi

source scripts/pg.sh
source scripts/mariadb.sh
source scripts/odbc.sh

TOLVAN_TEST_TMP=$(mktemp -d /tmp/tolvan-test.XXXXXX)
export TOLVAN_TEST_TMP

# shellcheck disable=SC2317  # only reached through the trap
cleanup() {
    pg_stop
    mariadb_stop
    rm -rf "$TOLVAN_TEST_TMP"
}
trap cleanup EXIT
# Exit through the EXIT trap on signals too, with the usual 128+N status.
trap 'exit 130' INT
trap 'exit 143' TERM

pg_start
mariadb_start
odbc_setup "$TOLVAN_TEST_TMP/odbc"

# What failed is repeated at the very end, where a log cut to its tail still shows it.
status=0
failed=()
# Runs ctest in the build folder $1 with the remaining arguments; remembers what failed.
run_ctest() {
    local dir=$1 rc=0
    shift
    rm -f "$dir/Testing/Temporary/LastTestsFailed.log"
    QT_QPA_PLATFORM=offscreen "$@" ctest --test-dir "$dir" --output-on-failure "${ctest_args[@]}" ||
        rc=$?
    if ((rc != 0)); then
        status=$rc
        local log=$dir/Testing/Temporary/LastTestsFailed.log
        if [[ -s $log ]]; then
            while IFS= read -r line; do failed+=("$dir: ${line#*:}"); done <"$log"
        else
            failed+=("$dir: ctest exited with $rc")
        fi
    fi
}
ctest_args=("$@")
run_ctest "$build"
if [[ $sanitize == 1 ]]; then
    echo "test.sh: the tests built with ASan and UBSan ($asan_build)" >&2
    run_ctest "$asan_build"
fi
if [[ $tsan == 1 ]]; then
    echo "test.sh: the worker-thread tests built with ThreadSanitizer ($tsan_build)" >&2
    ctest_args=(-R "^($(IFS='|'; echo "${tsan_tests[*]}"))\$" "$@")
    # The race detector needs the fixed address layout that ASLR's wider ranges break.
    run_ctest "$tsan_build" setarch "$(uname -m)" -R
fi
if [[ $fuzz == 1 ]]; then
    rc=0
    TOLVAN_FUZZ_SECONDS=${TOLVAN_FUZZ_SECONDS:-30} bash scripts/fuzz.sh || rc=$?
    ((rc == 0)) || { status=$rc; failed+=("fuzz.sh exited with $rc"); }
fi
if ((${#failed[@]})); then
    echo "test.sh: FAILED:" >&2
    printf '  %s\n' "${failed[@]}" >&2
else
    echo "test.sh: every test passed" >&2
fi
exit "$status"
