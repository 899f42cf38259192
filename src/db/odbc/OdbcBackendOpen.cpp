// Opening an ODBC connection: which driver and connection string for each kind of data
// source, the options a driver needs, and what the session tells of itself.
#include "OdbcBackend.h"

#include "OdbcDiag.h"
#include "db/odbc/OdbcDataSources.h"

#include <QFileInfo>
#include <QRegularExpression>
#include <algorithm>
#include <odbcinst.h>

namespace db {

namespace {
constexpr SQLULEN kLoginTimeoutSeconds = 15;
// The source of the layer's own reports of ODBC failures.
const QString kOdbcSource = QStringLiteral("Tolvan.ODBC");
// Option bits of MariaDB's (and MySQL's) ODBC driver: a changed row count that counts the
// rows matched, not only those whose values differ; and a text of several statements.
constexpr quint64 kMariaFoundRows = 2;
constexpr quint64 kMariaMultiStatements = quint64(1) << 26;

SQLCHAR* narrowText(QByteArray& bytes) {
    return reinterpret_cast<SQLCHAR*>(bytes.data());
}

Error providerNotFound() {
    return errors::providerNotFound();
}

QString driverOfDataSource(const QString& dsn) {
    for (const OdbcDataSource& source : odbcDataSources())
        if (source.name.compare(dsn, Qt::CaseInsensitive) == 0) return source.driver;
    return QString();
}

// narrow: the connection was opened through the 8-bit calls, whose answers are UTF-8 (the
// wide library of MDBTools puts 8-bit text into wide buffers).
QString infoText(const OdbcHandle& dbc, SQLUSMALLINT what, bool narrow = false) {
    SQLWCHAR buf[256];
    SQLSMALLINT len = 0;
    QString text;
    if (narrow) {
        char bytes[512];
        if (!SQL_SUCCEEDED(SQLGetInfo(dbc.get(), what, bytes, sizeof bytes, &len)))
            return QString();
        text = QString::fromUtf8(bytes, std::clamp<qsizetype>(len, 0, qsizetype(sizeof bytes) - 1));
    } else {
        if (!SQL_SUCCEEDED(SQLGetInfoW(dbc.get(), what, buf, sizeof buf, &len))) return QString();
        text = fromWide(buf, std::min<qsizetype>(len / qsizetype(sizeof(SQLWCHAR)), 255));
    }
    // MDBTools counts the terminator in the length.
    while (text.endsWith(QChar(0)))
        text.chop(1);
    return text;
}

// The words the driver says its database reserves beyond ODBC's own, in upper case.
QStringList keywordList(const OdbcHandle& dbc) {
    SQLSMALLINT len = 0;
    SQLWCHAR probe[1];
    if (!SQL_SUCCEEDED(SQLGetInfoW(dbc.get(), SQL_KEYWORDS, probe, 0, &len)) || len <= 0) return {};
    std::vector<SQLWCHAR> buf(size_t(len) / sizeof(SQLWCHAR) + 1);
    if (!SQL_SUCCEEDED(SQLGetInfoW(dbc.get(), SQL_KEYWORDS, buf.data(),
                                   SQLSMALLINT(buf.size() * sizeof(SQLWCHAR)), &len)))
        return {};
    const QString text = fromWide(buf.data(), std::min<qsizetype>(len / qsizetype(sizeof(SQLWCHAR)),
                                                                  qsizetype(buf.size()) - 1));
    QStringList words;
    for (const QString& w : text.split(QLatin1Char(','), Qt::SkipEmptyParts))
        words << w.trimmed().toUpper();
    return words;
}
} // namespace

bool OdbcBackend::connectDataSource(const LoginParams& login, ErrorList& errors) {
    m_declareFetch = tunablePostgres(login);
    if (m_declareFetch) {
        // psqlODBC otherwise holds a whole result in memory beside ours, and reports
        // booleans as text. It reads a braced PWD but not a braced UID, and data-source
        // names cannot hold ";{}=".
        const QString text =
            QStringLiteral("DSN=%1;UID=%2;PWD=%3;UseDeclareFetch=1;Fetch=10000;BoolsAsChar=0;")
                .arg(login.dataSource, login.userId, connectionValue(login.password));
        return driverConnect(text, errors);
    }
    if (const QString text = mariaDbConnection(login); !text.isEmpty()) {
        if (!driverConnect(text, errors)) return false;
        m_utf8Text = true;
    } else if (readOnlyDriver(driverOfDataSource(login.dataSource))) {
        m_narrow = true;
        QByteArray dsn = login.dataSource.toUtf8(), uid = login.userId.toUtf8(),
                   pwd = login.password.toUtf8();
        if (!SQL_SUCCEEDED(SQLConnect(m_dbc.get(), narrowText(dsn), SQL_NTS, narrowText(uid),
                                      SQL_NTS, narrowText(pwd), SQL_NTS))) {
            errors = odbcErrors({&m_dbc});
            return false;
        }
    } else {
        // Separate arguments: the values reach the driver exactly as typed.
        if (!SQL_SUCCEEDED(SQLConnectW(m_dbc.get(), wide(login.dataSource), SQL_NTS,
                                       wide(login.userId), SQL_NTS, wide(login.password),
                                       SQL_NTS))) {
            errors = odbcErrors({&m_dbc});
            return false;
        }
    }
    return true;
}

bool OdbcBackend::open(const LoginParams& login, ErrorList& errors) {
    m_env = OdbcHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE);
    if (!m_env) {
        errors = {providerNotFound()};
        return false;
    }
    SQLSetEnvAttr(m_env.get(), SQL_ATTR_ODBC_VERSION, SQLPOINTER(SQL_OV_ODBC3), 0);
    m_dbc = OdbcHandle(SQL_HANDLE_DBC, m_env.get());
    if (!m_dbc) {
        errors = odbcErrors({&m_env});
        return false;
    }
    // An unreachable server fails after this long instead of hanging the program.
    SQLSetConnectAttr(m_dbc.get(), SQL_ATTR_LOGIN_TIMEOUT, SQLPOINTER(kLoginTimeoutSeconds), 0);

    switch (m_target) {
    case Target::DataSource:
        if (!connectDataSource(login, errors)) return false;
        break;
    case Target::SqlServer:
        if (!connectWithDriver(
                {QStringLiteral("ODBC Driver 18 for SQL Server"),
                 QStringLiteral("ODBC Driver 17 for SQL Server"), QStringLiteral("FreeTDS")},
                QStringLiteral("SERVER=%1;UID=%2;PWD=%3;")
                    .arg(connectionValue(login.dataSource), connectionValue(login.userId),
                         connectionValue(login.password)),
                errors))
            return false;
        break;
    case Target::Oracle:
        if (!connectWithDriver({QStringLiteral("Oracle")},
                               QStringLiteral("DBQ=%1;UID=%2;PWD=%3;")
                                   .arg(connectionValue(login.dataSource),
                                        connectionValue(login.userId),
                                        connectionValue(login.password)),
                               errors))
            return false;
        break;
    case Target::AccessFile: {
        const QFileInfo file(login.dataSource);
        if (!file.exists() || file.isDir()) {
            errors = {errors::fileNotFound(ErrorNumber::Fail, login.dataSource,
                                           QStringLiteral("Tolvan.Connection"))};
            return false;
        }
        if (!connectWithDriver({QStringLiteral("MDBTools"), QStringLiteral("MDB")},
                               QStringLiteral("DBQ=%1;").arg(connectionValue(login.dataSource)),
                               errors, login.dataSource))
            return false;
        break;
    }
    }
    m_connected = true;
    describeSession();
    if (isPostgres()) readMoneyForm();
    return true;
}

namespace {
// Drivers name their database in their own words; these are the names the layer knows.
OdbcBackend::Engine engineOf(const QString& dbms) {
    using Engine = OdbcBackend::Engine;
    const auto has = [&](const char* name) {
        return dbms.contains(QLatin1String(name), Qt::CaseInsensitive);
    };
    if (has("MariaDB")) return Engine::MariaDb;
    if (has("MySQL")) return Engine::MySql;
    if (dbms.startsWith(QLatin1String("PostgreSQL"), Qt::CaseInsensitive)) return Engine::Postgres;
    // SQLite's driver names it exactly so.
    if (dbms == QLatin1String("SQLite")) return Engine::Sqlite;
    if (dbms.compare(QLatin1String("MDBTOOLS"), Qt::CaseInsensitive) == 0) return Engine::MdbTools;
    return Engine::Other;
}

// How statements read, by the words the product's name holds (MySQL's before SQL Server's).
SqlFamily familyOf(const QString& dbms) {
    const auto has = [&](const char* name) {
        return dbms.contains(QLatin1String(name), Qt::CaseInsensitive);
    };
    if (has("MariaDB") || has("MySQL")) return SqlFamily::MySql;
    if (has("SQL Server")) return SqlFamily::SqlServer;
    if (has("Oracle")) return SqlFamily::Oracle;
    if (has("SQLite") || has("ACCESS") || has("Jet")) return SqlFamily::Bracketed;
    return SqlFamily::Postgres;
}

// Products that read [name] as a name: SQL Server and the servers it came from, SQLite,
// Access and MDBTools; a driver that names none is taken for one of them.
bool readsBrackets(const QString& dbms) {
    const auto has = [&](const char* name) {
        return dbms.contains(QLatin1String(name), Qt::CaseInsensitive);
    };
    return dbms.isEmpty() || dbms.compare(QLatin1String("MDBTOOLS"), Qt::CaseInsensitive) == 0 ||
           has("SQL Server") || dbms.startsWith(QLatin1String("SQLite"), Qt::CaseInsensitive) ||
           dbms.compare(QLatin1String("ACCESS"), Qt::CaseInsensitive) == 0 || has("Sybase") ||
           has("Adaptive Server");
}

IdentifierCase identifierCaseOf(const OdbcHandle& dbc) {
    SQLUSMALLINT identifierCase = 0;
    if (!SQL_SUCCEEDED(SQLGetInfoW(dbc.get(), SQL_IDENTIFIER_CASE, &identifierCase,
                                   sizeof identifierCase, nullptr)))
        return IdentifierCase::Mixed;
    switch (identifierCase) {
    case SQL_IC_UPPER:
        return IdentifierCase::Upper;
    case SQL_IC_LOWER:
        return IdentifierCase::Lower;
    case SQL_IC_SENSITIVE:
        return IdentifierCase::Sensitive;
    default:
        return IdentifierCase::Mixed;
    }
}

void describeLostSession(OdbcBackend::Engine engine, DatabaseDialect& d) {
    using Engine = OdbcBackend::Engine;
    const bool known = engine != Engine::Other;
    // A lost connection is SQL state class 08 everywhere (DatabaseDialect's own rule).
    if (engine == Engine::Postgres || !known) {
        // The server's own shutdown ends the session (57P01 to 57P03).
        d.lostSessionStates << QStringLiteral("57P0");
    }
    if (engine == Engine::MariaDb || engine == Engine::MySql || !known) {
        // MariaDB's and MySQL's clients report a lost session under the general states HY000
        // and 70100, told apart by their own numbers: server gone (2006), lost in a query
        // (2013) or while reading (2055), the session killed (1927), or the client out of
        // memory in the middle of a result (2008), whose rest then stands unread between
        // client and server.
        for (const char* state : {"HY000", "70100"})
            for (const qint32 number : {2006, 2013, 2055, 1927, 2008})
                d.lostSessionErrors.push_back({QString::fromLatin1(state), number});
    }
}

} // namespace

void OdbcBackend::describeSession() {
    DatabaseDialect& d = m_dialect;
    d = {};
    const QString quote = infoText(m_dbc, SQL_IDENTIFIER_QUOTE_CHAR, m_narrow);
    d.identifierQuote = quote.trimmed().isEmpty() ? QStringLiteral("\"") : quote;
    d.dbmsName = infoText(m_dbc, SQL_DBMS_NAME, m_narrow);
    m_engine = engineOf(d.dbmsName);
    if (m_narrow) {
        // Its wide text calls crash on some columns; its 8-bit ones give UTF-8.
        d.readOnly = m_utf8Text = m_numbersAsText = true;
    } else {
        d.readOnly = infoText(m_dbc, SQL_DATA_SOURCE_READ_ONLY) == QLatin1String("Y");
    }
    d.keywords = keywordList(m_dbc);
    d.identifierCase = identifierCaseOf(m_dbc);
    d.family = familyOf(d.dbmsName);
    d.acceptsBrackets = readsBrackets(d.dbmsName);
    // MDBTools reads Access files: it needs brackets for every table name and for a column
    // name beyond ASCII.
    d.bracketsEveryTable = d.bracketsBeyondAscii = m_engine == Engine::MdbTools;
    if (isPostgres()) d.searchPathQuery = QStringLiteral("select unnest(current_schemas(false))");
    // MariaDB's driver runs a text of several statements only on the thread that ran the
    // first: such texts are refused (see execute).
    d.severalStatements = !isMariaDb();
    // MariaDB's inserts take many VALUES rows, psqlODBC's arrays of parameters.
    d.rowsInBatches = isMariaDb() || isPostgres();
    // SQLite undoes only the failed statement. PostgreSQL aborts the whole transaction, and
    // of MariaDB's engines some keep part of a failed statement: their inserts are committed
    // one by one, or held and stored many to a statement where the table allows it.
    d.keepsTransactionOnError = m_engine == Engine::Sqlite;
    describeLostSession(m_engine, d);
}

bool OdbcBackend::tunablePostgres(const LoginParams& login) {
    static const QRegularExpression plain(QStringLiteral("^[^;{}=\\s]*$"));
    if (!plain.match(login.userId).hasMatch() || login.password.contains(QLatin1Char('}')) ||
        login.password != login.password.trimmed())
        return false;
    const QString driver = driverOfDataSource(login.dataSource);
    return driver.contains(QLatin1String("PostgreSQL"), Qt::CaseInsensitive) ||
           driver.contains(QLatin1String("psqlodbc"), Qt::CaseInsensitive);
}

QString OdbcBackend::mariaDbConnection(const LoginParams& login) {
    // Data-source names cannot hold these; the driver reads braced UID and PWD values whole.
    static const QRegularExpression plain(QStringLiteral("^[^;{}=]*$"));
    if (!plain.match(login.dataSource).hasMatch()) return QString();
    const QString driver = driverOfDataSource(login.dataSource);
    if (!driver.contains(QLatin1String("MariaDB"), Qt::CaseInsensitive) &&
        !driver.contains(QLatin1String("MySQL"), Qt::CaseInsensitive))
        return QString();
    // The connection's OPTION replaces the data source's: keep the bits the user set there.
    quint64 option = 0;
    const QByteArray dsn = login.dataSource.toLocal8Bit();
    for (const char* key : {"OPTION", "OPTIONS"}) {
        char value[64] = {};
        if (SQLGetPrivateProfileString(dsn.constData(), key, "", value, int(sizeof value),
                                       "odbc.ini") > 0 &&
            value[0] != '\0') {
            option = QByteArray(value).trimmed().toULongLong();
            break;
        }
    }
    option |= kMariaFoundRows | kMariaMultiStatements;
    // Text is read as UTF-8: the driver's wide-character rows can come out a character short.
    QString text =
        QStringLiteral("DSN=%1;OPTION=%2;CHARSET=utf8mb4;").arg(login.dataSource).arg(option);
    // Empty values would replace a user name or password stored with the data source.
    if (!login.userId.isEmpty())
        text += QStringLiteral("UID=%1;").arg(connectionValue(login.userId));
    if (!login.password.isEmpty())
        text += QStringLiteral("PWD=%1;").arg(connectionValue(login.password));
    return text;
}

QString OdbcBackend::findDriver(const QStringList& preferred) {
    QStringList installed;
    SQLWCHAR name[512], attrs[2048];
    SQLSMALLINT nameLen = 0, attrLen = 0;
    SQLUSMALLINT direction = SQL_FETCH_FIRST;
    while (SQL_SUCCEEDED(SQLDriversW(m_env.get(), direction, name, SQLSMALLINT(std::size(name)),
                                     &nameLen, attrs, SQLSMALLINT(std::size(attrs)), &attrLen))) {
        installed << fromWide(name, std::min<qsizetype>(nameLen, 511));
        direction = SQL_FETCH_NEXT;
    }
    for (const QString& want : preferred) {
        for (const QString& have : installed)
            if (have.compare(want, Qt::CaseInsensitive) == 0) return have;
        for (const QString& have : installed)
            if (have.contains(want, Qt::CaseInsensitive)) return have;
    }
    return QString();
}

bool OdbcBackend::connectWithDriver(const QStringList& preferred, const QString& tail,
                                    ErrorList& errors, const QString& file) {
    const QString driver = findDriver(preferred);
    if (driver.isEmpty()) {
        errors = {providerNotFound()};
        return false;
    }
    m_narrow = readOnlyDriver(driver);
    if (driverConnect(QStringLiteral("DRIVER=%1;").arg(braceQuote(driver)) + tail, errors,
                      m_narrow))
        return true;
    // MDBTools fails without a diagnostic record: say at least what was tried.
    if (!file.isEmpty() && odbcDiagnostics({&m_dbc}).empty())
        errors = {{ErrorNumber::Fail,
                   QStringLiteral("ODBC ドライバー %1 はファイル %2 を開けませんでした"
                                  "（ドライバーは理由を返していません）。")
                       .arg(driver, file),
                   kOdbcSource}};
    return false;
}

bool OdbcBackend::driverConnect(const QString& text, ErrorList& errors, bool narrow) {
    SQLWCHAR out[1024];
    SQLSMALLINT outLen = 0;
    if (narrow) {
        QByteArray bytes = text.toUtf8();
        SQLCHAR narrowOut[1024];
        if (SQL_SUCCEEDED(SQLDriverConnect(m_dbc.get(), nullptr, narrowText(bytes), SQL_NTS,
                                           narrowOut, SQLSMALLINT(sizeof narrowOut), &outLen,
                                           SQL_DRIVER_NOPROMPT)))
            return true;
    } else if (SQL_SUCCEEDED(SQLDriverConnectW(m_dbc.get(), nullptr, wide(text), SQL_NTS, out,
                                               SQLSMALLINT(std::size(out)), &outLen,
                                               SQL_DRIVER_NOPROMPT))) {
        return true;
    }
    errors = odbcErrors({&m_dbc});
    return false;
}

void OdbcBackend::readMoneyForm() {
    ResultData r;
    ErrorList ignored;
    if (!query(QStringLiteral("select 1::money::text"), 0, r, ignored) || r.rows != 1 ||
        r.data.empty() || r.data[0].isNull(0))
        return;
    m_money = moneyFormOfOne(r.data[0].text(0));
}

} // namespace db
