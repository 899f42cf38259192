# Private unixODBC configuration for tests. Source this file, then call
# odbc_setup DIR (after pg_start and mariadb_start, which provide TOLVAN_TEST_PG_* and
# TOLVAN_TEST_MARIA_*).

_odbc_driver_path() {
    # Driver paths differ per architecture, so ask dpkg instead of hard-coding.
    local pkg=$1 lib=$2 f
    f=$(dpkg -L "$pkg" 2>/dev/null | grep -E "/$lib\$" | head -n1)
    if [[ -z $f || ! -e $f ]]; then
        echo "odbc.sh: $lib not found (package $pkg installed?)" >&2
        return 1
    fi
    echo "$f"
}

_odbc_dead_port() {
    local p
    for ((p = 54999; p > 54900; p--)); do
        if ! (exec 3<>/dev/tcp/127.0.0.1/$p) 2>/dev/null; then
            echo "$p"
            return 0
        fi
    done
    return 1
}

odbc_setup() {
    local dir=${1:?usage: odbc_setup DIR}
    local pgdrv sqlitedrv mariadrv mdbdrv mdbwdrv deadport
    mkdir -p "$dir" || return 1
    dir=$(cd "$dir" && pwd) || return 1
    pgdrv=$(_odbc_driver_path odbc-postgresql psqlodbcw.so) || return 1
    sqlitedrv=$(_odbc_driver_path libsqliteodbc libsqlite3odbc.so) || return 1
    mariadrv=$(_odbc_driver_path odbc-mariadb libmaodbc.so) || return 1
    mdbdrv=$(_odbc_driver_path odbc-mdbtools libmdbodbc.so) || return 1
    mdbwdrv=$(_odbc_driver_path odbc-mdbtools libmdbodbcW.so) || return 1
    deadport=$(_odbc_dead_port) || { echo "odbc.sh: no unused port" >&2; return 1; }

    # DontDLClose keeps drivers mapped, so that sanitizer reports name them correctly.
    cat >"$dir/odbcinst.ini" <<INI
[PostgreSQL Unicode]
Description = PostgreSQL ODBC driver (Unicode)
Driver = $pgdrv
DontDLClose = 1

[SQLite3]
Description = SQLite3 ODBC driver
Driver = $sqlitedrv
DontDLClose = 1

[MariaDB Unicode]
Description = MariaDB Connector/ODBC (Unicode)
Driver = $mariadrv
DontDLClose = 1

# As Debian's odbc-mdbtools registers it: the 8-bit library under this name.
[MDBTools]
Description = MDBTools Driver
Driver = $mdbdrv
FileUsage = 1
DontDLClose = 1

[MDBTools Unicode]
Description = MDBTools Driver (wide)
Driver = $mdbwdrv
FileUsage = 1
DontDLClose = 1
INI

    # Credentials stay out of the DSNs so tests exercise passing them explicitly.
    cat >"$dir/odbc.ini" <<INI
[tolvan_pg]
Driver = PostgreSQL Unicode
Servername = ${TOLVAN_TEST_PG_HOST:-127.0.0.1}
Port = ${TOLVAN_TEST_PG_PORT:-5432}
Database = ${TOLVAN_TEST_PG_DB:-tolvan}
SSLmode = disable

[tolvan_sqlite]
Driver = SQLite3
Database = $dir/odbc-sqlite.db

# As a user would write it: no option that makes the driver behave unlike its defaults.
[tolvan_maria]
Driver = MariaDB Unicode
Server = ${TOLVAN_TEST_MARIA_HOST:-127.0.0.1}
Port = ${TOLVAN_TEST_MARIA_PORT:-3306}
Database = ${TOLVAN_TEST_MARIA_DB:-tolvan}

# As users write them: the socket, statements run after connecting, a character set and
# OPTIONS bits, of which no-prompt and found-rows only shape the driver's answers.
[tolvan_maria_socket]
Driver = MariaDB Unicode
SOCKET = ${TOLVAN_TEST_MARIA_SOCKET:-}
DATABASE = ${TOLVAN_TEST_MARIA_DB:-tolvan}
CHARSET = utf8mb4
INITSTMT = SET @tolvan_init = 'init'
OPTIONS = 6162
NO_PROMPT = 1

# Reconnecting by itself has no meaning in the client library: kept on the driver.
[tolvan_maria_reconnect]
Driver = MariaDB Unicode
SERVER = ${TOLVAN_TEST_MARIA_HOST:-127.0.0.1}
PORT = ${TOLVAN_TEST_MARIA_PORT:-3306}
DATABASE = ${TOLVAN_TEST_MARIA_DB:-tolvan}
OPTIONS = 4194304

# A key the client library has no word for: kept on the driver.
[tolvan_maria_unknown]
Driver = MariaDB Unicode
SERVER = ${TOLVAN_TEST_MARIA_HOST:-127.0.0.1}
PORT = ${TOLVAN_TEST_MARIA_PORT:-3306}
DATABASE = ${TOLVAN_TEST_MARIA_DB:-tolvan}
PREPARE_ONCLIENT = 1

# An Access file through a data source set up by hand; the tests copy a file to its Database.
[tolvan_mdb]
Driver = MDBTools Unicode
Database = $dir/access dsn/data source.accdb

[tolvan_bad_pg]
Driver = PostgreSQL Unicode
Servername = 127.0.0.1
Port = $deadport
Database = tolvan
SSLmode = disable

# The server named by a libpq service, settings run after connecting, and the options that
# only shape the ODBC driver's answers.
[tolvan_pg_service]
Driver = PostgreSQL Unicode
pqopt = service=tolvan
ConnSettings = SET application_name = 'tolvan service'
UseDeclareFetch = 1
Fetch = 5000
BoolsAsChar = 0

# psqlODBC's packed options: nothing libpq reads.
[tolvan_pg_packed]
Driver = PostgreSQL Unicode
Servername = ${TOLVAN_TEST_PG_HOST:-127.0.0.1}
Port = ${TOLVAN_TEST_PG_PORT:-5432}
Database = ${TOLVAN_TEST_PG_DB:-tolvan}
CX = 1c305008b
INI

    cat >"$dir/pg_service.conf" <<INI
[tolvan]
host=${TOLVAN_TEST_PG_HOST:-127.0.0.1}
port=${TOLVAN_TEST_PG_PORT:-5432}
dbname=${TOLVAN_TEST_PG_DB:-tolvan}
sslmode=disable
INI

    export ODBCSYSINI=$dir
    export ODBCINI=$dir/odbc.ini
    export TOLVAN_TEST_PG_DSN=tolvan_pg
    export TOLVAN_TEST_MARIA_DSN=tolvan_maria
    export TOLVAN_TEST_SQLITE_DSN=tolvan_sqlite
    export TOLVAN_TEST_SQLITE_ODBC_DB=$dir/odbc-sqlite.db
    export TOLVAN_TEST_BAD_DSN=tolvan_bad_pg
    export PGSERVICEFILE=$dir/pg_service.conf
    export TOLVAN_TEST_MDB_DSN=tolvan_mdb
    export TOLVAN_TEST_MDB_DSN_FILE="$dir/access dsn/data source.accdb"
}
