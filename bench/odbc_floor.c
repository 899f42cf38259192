/* The floor under the layer's fetch from a server: the generated table t read through the
 * ODBC driver with the same row arrays and bindings, storing nothing.
 *   odbc-floor "DSN=...;UID=...;PWD=...;UseDeclareFetch=1;Fetch=10000;BoolsAsChar=0"
 *   odbc-floor "DSN=...;UID=...;PWD=...;CHARSET=utf8mb4" utf8  (MariaDB Connector/ODBC)
 * "utf8" reads the text columns as UTF-8 bytes, as the layer does from MariaDB's driver;
 * "textdates" reads the date column as the driver's text, as the layer does to keep its
 * fractions and offsets. */
#include <sql.h>
#include <sqlext.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>
#define N 1024
int main(int argc, char** argv) {
    if (argc < 2) {
        fprintf(stderr, "usage: odbc-floor CONNECTION-STRING [utf8]\n");
        return 2;
    }
    SQLHENV e;
    SQLHDBC d;
    SQLHSTMT s;
    struct timespec t0, t1;
    clock_gettime(CLOCK_MONOTONIC, &t0);
    SQLAllocHandle(SQL_HANDLE_ENV, 0, &e);
    SQLSetEnvAttr(e, SQL_ATTR_ODBC_VERSION, (void*)SQL_OV_ODBC3, 0);
    SQLAllocHandle(SQL_HANDLE_DBC, e, &d);
    if (!SQL_SUCCEEDED(
            SQLDriverConnect(d, 0, (SQLCHAR*)argv[1], SQL_NTS, 0, 0, 0, SQL_DRIVER_NOPROMPT)))
        return 1;
    SQLAllocHandle(SQL_HANDLE_STMT, d, &s);
    SQLULEN fetched;
    SQLUSMALLINT st[N];
    SQLSetStmtAttr(s, SQL_ATTR_ROW_ARRAY_SIZE, (void*)N, 0);
    SQLSetStmtAttr(s, SQL_ATTR_ROWS_FETCHED_PTR, &fetched, 0);
    SQLSetStmtAttr(s, SQL_ATTR_ROW_STATUS_PTR, st, 0);
    SQLExecDirect(s, (SQLCHAR*)"select * from t", SQL_NTS);
    static SQLBIGINT id[N];
    static SQLWCHAR code[N][22], name[N][82], note[N][402];
    static char code8[N][41], name8[N][161], note8[N][801];
    int utf8 = 0, textDates = 0;
    for (int i = 2; i < argc; ++i) {
        utf8 |= strcmp(argv[i], "utf8") == 0;
        textDates |= strcmp(argv[i], "textdates") == 0;
    }
    static char tsText[N][40];
    static char amount[N][16];
    static SQL_TIMESTAMP_STRUCT ts[N];
    static unsigned char flag[N];
    static SQLLEN ind[7][N];
    SQLBindCol(s, 1, SQL_C_SBIGINT, id, 8, ind[0]);
    if (utf8) {
        SQLBindCol(s, 2, SQL_C_CHAR, code8, sizeof code8[0], ind[1]);
        SQLBindCol(s, 3, SQL_C_CHAR, name8, sizeof name8[0], ind[2]);
        SQLBindCol(s, 4, SQL_C_CHAR, note8, sizeof note8[0], ind[3]);
    } else {
        SQLBindCol(s, 2, SQL_C_WCHAR, code, sizeof code[0], ind[1]);
        SQLBindCol(s, 3, SQL_C_WCHAR, name, sizeof name[0], ind[2]);
        SQLBindCol(s, 4, SQL_C_WCHAR, note, sizeof note[0], ind[3]);
    }
    SQLBindCol(s, 5, SQL_C_CHAR, amount, sizeof amount[0], ind[4]);
    if (textDates)
        SQLBindCol(s, 6, SQL_C_CHAR, tsText, sizeof tsText[0], ind[5]);
    else
        SQLBindCol(s, 6, SQL_C_TYPE_TIMESTAMP, ts, sizeof ts[0], ind[5]);
    SQLBindCol(s, 7, SQL_C_BIT, flag, 1, ind[6]);
    long rows = 0;
    while (SQL_SUCCEEDED(SQLFetch(s)))
        rows += fetched;
    clock_gettime(CLOCK_MONOTONIC, &t1);
    printf("floor rows=%ld seconds=%.3f\n", rows,
           (t1.tv_sec - t0.tv_sec) + (t1.tv_nsec - t0.tv_nsec) / 1e9);
    return 0;
}
