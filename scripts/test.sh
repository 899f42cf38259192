#!/usr/bin/env bash
# Installs, builds and runs every test against a private PostgreSQL
# cluster and ODBC configuration. Extra arguments go to ctest.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"

if ((EUID != 0)); then
    echo "test.sh: must run as root (PostgreSQL runs via runuser)" >&2
    exit 1
fi

bash scripts/build.sh
# The build installed clang-format with the other tools: the sources must keep .clang-format.
bash scripts/format.sh
build=${TOLVAN_BUILD_DIR:-build}

source scripts/pg.sh
source scripts/odbc.sh

TOLVAN_TEST_TMP=$(mktemp -d /tmp/tolvan-test.XXXXXX)
export TOLVAN_TEST_TMP

# shellcheck disable=SC2317  # only reached through the trap
cleanup() {
    pg_stop
    rm -rf "$TOLVAN_TEST_TMP"
}
trap cleanup EXIT
# Exit through the EXIT trap on signals too, with the usual 128+N status.
trap 'exit 130' INT
trap 'exit 143' TERM

pg_start
odbc_setup "$TOLVAN_TEST_TMP/odbc"

status=0
QT_QPA_PLATFORM=offscreen ctest --test-dir "$build" --output-on-failure "$@" || status=$?
exit "$status"
