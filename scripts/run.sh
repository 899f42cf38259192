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
if [[ ! -s $db || $sql -nt $db ]]; then
    # Build aside and rename so a failed import never leaves a half-written file.
    tmp=$(mktemp "$build/sample.db.XXXXXX")
    trap 'rm -f "$tmp"' EXIT
    sqlite3 -bail "$tmp" <"$sql"
    mv -f "$tmp" "$db"
    trap - EXIT
fi

# A first start connects to the sample with one Enter; an existing settings file is
# never touched. The file can hold passwords, so it is created readable by its owner only.
settings=${XDG_CONFIG_HOME:-$HOME/.config}/Tolvan/Tolvan.ini
if [[ ! -e $settings ]]; then
    sample=$(cd "$(dirname "$db")" && pwd)/$(basename "$db")
    # INI quoting: backslashes and double quotes escaped inside a quoted value.
    quoted=${sample//\\/\\\\}
    quoted=${quoted//\"/\\\"}
    mkdir -p "$(dirname "$settings")"
    (umask 077 && printf '[LOGIN]\nCONNECTION=Access\nAccess="%s"\n' "$quoted" >"$settings")
fi

exec "$build/bin/tolvan" "$@"
