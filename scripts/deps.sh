#!/usr/bin/env bash
# Installs the Debian packages needed to build and test Tolvan.
# Safe to source or run; does nothing when everything is present.

tolvan_deps() {
    local pkgs=(
        build-essential cmake ninja-build pkg-config ccache clang-format
        qt6-base-dev libgl-dev libqt6svg6 qt6-translations-l10n
        unixodbc unixodbc-dev odbc-postgresql libsqliteodbc
        libsqlite3-dev sqlite3 libxlsxwriter-dev libzip-dev libfreexl-dev unzip
        python3-openpyxl python3-xlsxwriter python3-xlwt
        postgresql postgresql-client libpq-dev
        mariadb-server mariadb-client odbc-mariadb libmariadb-dev
        mdbtools odbc-mdbtools
        fonts-ipafont-gothic locales
        fp-utils
    )
    tolvan_install "${pkgs[@]}"
}

# Installs the given Debian packages where they are missing.
tolvan_install() {
    local missing=() p status
    for p in "$@"; do
        status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
        [[ $status == "install ok installed" ]] || missing+=("$p")
    done
    ((${#missing[@]} == 0)) && return 0

    local sudo=()
    if ((EUID != 0)); then
        if command -v sudo >/dev/null 2>&1; then
            sudo=(sudo)
        else
            echo "deps.sh: missing ${missing[*]} and not root (no sudo)" >&2
            return 1
        fi
    fi
    echo "deps.sh: installing ${missing[*]}" >&2
    "${sudo[@]}" apt-get update -qq >/dev/null || return 1
    # The tests start their own throw-away servers; the system services that the server
    # packages would start on installation (a MariaDB on /var/lib/mysql, a PostgreSQL
    # cluster) are neither used nor wanted, so Debian's policy hook refuses them meanwhile.
    local policy=/usr/sbin/policy-rc.d made=0 status=0
    if [[ ! -e $policy ]]; then
        printf '#!/bin/sh\n# deps.sh of Tolvan: no service starts while it installs packages.\nexit 101\n' |
            "${sudo[@]}" tee "$policy" >/dev/null && "${sudo[@]}" chmod 755 "$policy" && made=1
    fi
    # -qq plus >/dev/null keeps repeated runs quiet; errors still reach stderr.
    "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive \
        apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null || status=$?
    ((made)) && "${sudo[@]}" rm -f "$policy"
    return "$status"
}

if [[ ${BASH_SOURCE[0]} == "$0" ]]; then
    set -euo pipefail
    tolvan_deps
fi
