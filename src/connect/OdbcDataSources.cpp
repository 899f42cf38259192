#include "OdbcDataSources.h"

#include <sql.h>
#include <sqlext.h>

#include <cstring>

QStringList odbcDataSourceNames() {
    QStringList names;
    SQLHENV env = SQL_NULL_HENV;
    if (SQLAllocEnv(&env) == SQL_ERROR) return names;
    SQLRETURN rc = SQL_SUCCESS;
    // The loop stops at the first result other than success; "success with information"
    // (a name longer than the buffer) still keeps the name it returned.
    while (rc == SQL_SUCCESS) {
        SQLCHAR name[1024], description[1024];
        std::memset(name, ' ', sizeof name);
        std::memset(description, ' ', sizeof description);
        SQLSMALLINT nameLength = 0, descriptionLength = 0;
        rc = SQLDataSources(env, SQL_FETCH_NEXT, name, SQLSMALLINT(sizeof name), &nameLength,
                            description, SQLSMALLINT(sizeof description), &descriptionLength);
        if (rc != SQL_SUCCESS && rc != SQL_SUCCESS_WITH_INFO) break;
        const int length = qBound(0, int(nameLength), int(sizeof name) - 1);
        const QString text = QString::fromLocal8Bit(reinterpret_cast<const char*>(name), length);
        if (!text.trimmed().isEmpty()) names << text;
    }
    SQLFreeEnv(env);
    return names;
}
