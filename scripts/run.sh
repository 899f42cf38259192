#!/usr/bin/env bash
# Installs, builds, prepares the sample database and starts Tolvan.
# Arguments are passed on to the program.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"

bash scripts/build.sh
build=${TOLVAN_BUILD_DIR:-build}

sql=resources/sample.sql
db=$build/sample.db
if [[ ! -f $db || $sql -nt $db ]]; then
    # Build aside and rename so a failed import never leaves a half-written file.
    tmp=$(mktemp "$build/sample.db.XXXXXX")
    trap 'rm -f "$tmp"' EXIT
    sqlite3 -bail "$tmp" <"$sql"
    mv -f "$tmp" "$db"
    trap - EXIT
fi

# FIRST-START SETTINGS DEFAULT: a later change writes the initial settings
# here (only when none exist yet), before the program starts.

exec "$build/bin/tolvan" "$@"
