// Opening a session with MariaDB Connector/C, what it tells of itself, its catalog and
// transactions.
#include "MariaBackend.h"

#include "MariaCursor.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <errmsg.h>
#include <mysql.h>

namespace db {

namespace {
const QString kSource = QStringLiteral("Tolvan.MariaDB");

const char* orNull(const QByteArray& text) {
    return text.isEmpty() ? nullptr : text.constData();
}

void setText(MYSQL* conn, mysql_option option, const QByteArray& value) {
    if (!value.isEmpty()) mysql_optionsv(conn, option, value.constData());
}

void setSeconds(MYSQL* conn, mysql_option option, unsigned int seconds) {
    if (seconds > 0) mysql_optionsv(conn, option, &seconds);
}

void allowLocalFiles(MYSQL* conn, bool allow) {
    unsigned int on = allow ? 1 : 0;
    mysql_optionsv(conn, MYSQL_OPT_LOCAL_INFILE, &on);
}

// The local-file handler: the import's rows when armed, nothing at any other moment.
int localRowsInit(void** handle, const char*, void* user) {
    auto* feed = static_cast<MariaBackend::LocalRows*>(user);
    *handle = feed;
    if (!feed->armed || !feed->rows) return 1;
    feed->armed = false;
    feed->at = 0;
    return 0;
}
int localRowsRead(void* handle, char* buffer, unsigned int length) {
    auto* feed = static_cast<MariaBackend::LocalRows*>(handle);
    if (!feed->rows) return 0;
    const qsizetype n = std::min<qsizetype>(qsizetype(length), feed->rows->size() - feed->at);
    std::memcpy(buffer, feed->rows->constData() + feed->at, size_t(n));
    feed->at += n;
    return int(n);
}
void localRowsEnd(void* handle) {
    if (auto* feed = static_cast<MariaBackend::LocalRows*>(handle)) feed->rows = nullptr;
}
int localRowsError(void*, char* buffer, unsigned int length) {
    std::snprintf(buffer, length, "This session serves no local file.");
    return CR_UNKNOWN_ERROR;
}
} // namespace

MariaBackend::~MariaBackend() {
    MariaBackend::close();
}

bool MariaBackend::connect(MYSQL* conn, bool localRows, ErrorList& errors) const {
    const MariaConnectParams& p = m_params;
    setSeconds(conn, MYSQL_OPT_CONNECT_TIMEOUT, p.connectTimeout);
    setSeconds(conn, MYSQL_OPT_READ_TIMEOUT, p.readTimeout);
    setSeconds(conn, MYSQL_OPT_WRITE_TIMEOUT, p.writeTimeout);
    setText(conn, MYSQL_SET_CHARSET_NAME, p.charset);
    setText(conn, MYSQL_READ_DEFAULT_GROUP, p.readDefaultGroup);
    // The server takes LOAD DATA LOCAL only from a session that said so when it connected;
    // the handler below decides what a request gets.
    allowLocalFiles(conn, localRows);
    const MariaConnectParams::Tls& tls = p.tls;
    setText(conn, MYSQL_OPT_SSL_KEY, tls.key);
    setText(conn, MYSQL_OPT_SSL_CERT, tls.cert);
    setText(conn, MYSQL_OPT_SSL_CA, tls.ca);
    setText(conn, MYSQL_OPT_SSL_CAPATH, tls.caPath);
    setText(conn, MYSQL_OPT_SSL_CIPHER, tls.cipher);
    setText(conn, MYSQL_OPT_SSL_CRL, tls.crl);
    setText(conn, MYSQL_OPT_SSL_CRLPATH, tls.crlPath);
    setText(conn, MARIADB_OPT_TLS_VERSION, tls.version);
    setText(conn, MARIADB_OPT_TLS_PEER_FP, tls.peerFingerprint);
    setText(conn, MARIADB_OPT_TLS_PEER_FP_LIST, tls.peerFingerprintList);
    setText(conn, MYSQL_SERVER_PUBLIC_KEY, tls.serverPublicKey);
    // Said either way: the library's default differs between its versions.
    my_bool verify = tls.verify ? 1 : 0;
    mysql_optionsv(conn, MYSQL_OPT_SSL_VERIFY_SERVER_CERT, &verify);
    if (tls.enforce) {
        my_bool enforce = 1;
        mysql_optionsv(conn, MYSQL_OPT_SSL_ENFORCE, &enforce);
    }
    // Rows changed count the rows a WHERE found, as through the ODBC driver.
    const unsigned long flags =
        CLIENT_MULTI_STATEMENTS | CLIENT_MULTI_RESULTS | CLIENT_FOUND_ROWS | p.clientFlags;
    if (!mysql_real_connect(conn, orNull(p.host), orNull(p.user),
                            p.password.isNull() ? nullptr : p.password.constData(),
                            orNull(p.database), p.port, orNull(p.socket), flags)) {
        const QString state = QString::fromLatin1(mysql_sqlstate(conn));
        errors = {{qint32(mysql_errno(conn)), QString::fromUtf8(mysql_error(conn)).trimmed(),
                   QStringLiteral("%1 (%2)").arg(kSource, state), state}};
        return false;
    }
    return true;
}

bool MariaBackend::open(const LoginParams& login, ErrorList& errors) {
    (void)login; // the login's own parts are in the parameters already
    m_conn = mysql_init(nullptr);
    if (!m_conn) {
        errors = {errors::outOfMemory(kSource)};
        return false;
    }
    if (!connect(m_conn, true, errors)) {
        close();
        return false;
    }
    // A server that asks for a file at any other moment gets nothing.
    mysql_set_local_infile_handler(m_conn, localRowsInit, localRowsRead, localRowsEnd,
                                   localRowsError, &m_localRows);
    allowLocalFiles(m_conn, false);
    {
        const std::lock_guard lock(m_cancelLock);
        m_threadId = mysql_thread_id(m_conn);
    }
    m_lost = false;
    describeSession();
    if (!m_params.initStatement.trimmed().isEmpty() &&
        !command(QString::fromUtf8(m_params.initStatement), errors)) {
        close();
        return false;
    }
    return true;
}

void MariaBackend::close() {
    if (m_streaming) m_streaming->detach();
    m_streaming = nullptr;
    m_side.reset();
    {
        const std::lock_guard lock(m_cancelLock);
        m_threadId = 0;
    }
    if (m_conn) mysql_close(m_conn);
    m_conn = nullptr;
    m_timeout = 0;
}

void MariaBackend::describeSession() {
    DatabaseDialect& d = m_dialect;
    d = {};
    d.dbmsName = QStringLiteral("MariaDB");
    const char* server = mysql_get_server_info(m_conn);
    if (server && !QByteArray(server).contains("MariaDB")) d.dbmsName = QStringLiteral("MySQL");
    d.family = SqlFamily::MySql;
    d.identifierQuote = QStringLiteral("`");
    d.identifierCase = IdentifierCase::Mixed;
    d.severalStatements = true;
    // An import's rows go in many to a statement where the table's engine allows it.
    d.rowsInBatches = true;
    // Some of its engines keep part of a failed statement.
    d.keepsTransactionOnError = false;
    // The client reports a lost session under the general states, told apart by its own
    // numbers: server gone (2006), lost in a query (2013) or while reading (2055), the session
    // killed (1927), or the client out of memory in the middle of a result (2008).
    for (const char* state : {"HY000", "70100"})
        for (const qint32 number : {2006, 2013, 2055, 1927, 2008})
            d.lostSessionErrors.push_back({QString::fromLatin1(state), number});
    ResultData r;
    ErrorList ignored;
    if (rows(QStringLiteral("select word from information_schema.keywords"), r, ignored))
        for (size_t i = 0; i < r.rows; ++i)
            d.keywords << r.data[0].text(i).toUpper();
}

ErrorList MariaBackend::errorOf(unsigned int number, const char* state, const char* text) {
    const QString sqlState = QString::fromLatin1(state ? state : "");
    QString message = QString::fromUtf8(text ? text : "").trimmed();
    if (message.isEmpty())
        message = QStringLiteral("The server reported a failure without a message.");
    Error e{qint32(number), message, QStringLiteral("%1 (%2)").arg(kSource, sqlState), sqlState};
    if (m_dialect.endsSession(e)) m_lost = true;
    return {e};
}

ErrorList MariaBackend::sessionErrors() {
    if (!m_conn) return {errors::objectClosed(kSource)};
    return errorOf(mysql_errno(m_conn), mysql_sqlstate(m_conn), mysql_error(m_conn));
}

ErrorList MariaBackend::statementErrors(MYSQL_STMT* stmt) {
    return errorOf(mysql_stmt_errno(stmt), mysql_stmt_sqlstate(stmt), mysql_stmt_error(stmt));
}

bool MariaBackend::failed(ErrorList& errors) const {
    if (interrupted()) errors = {errors::cancelled(kSource)};
    return false;
}

void MariaBackend::settle() {
    if (m_streaming) m_streaming->readRest();
}

void MariaBackend::streamEnded(MariaCursor* cursor) {
    if (m_streaming != cursor) return;
    m_streaming = nullptr;
    m_streamIsolated = false;
    m_side.reset();
}

MariaBackend* MariaBackend::sideSession() {
    if (!m_streaming || !m_streamIsolated) return nullptr;
    if (!m_side) {
        auto side = std::make_unique<MariaBackend>(m_params);
        ErrorList ignored;
        if (!side->open({}, ignored)) {
            // No second session: the stream is read into memory instead.
            m_streamIsolated = false;
            return nullptr;
        }
        m_side = std::move(side);
    }
    return m_side.get();
}

bool MariaBackend::command(const QByteArray& sql, qint64& affected, ErrorList& errors) {
    affected = 0;
    settle();
    if (!m_conn) {
        errors = {errors::objectClosed(kSource)};
        return false;
    }
    m_killSent = false;
    if (mysql_real_query(m_conn, sql.constData(), (unsigned long)sql.size()) != 0) {
        errors = sessionErrors();
        return false;
    }
    ErrorList failure;
    passResult(this, &affected, failure);
    readPastResults(this, failure, &affected);
    if (!failure.empty()) {
        errors = std::move(failure);
        return false;
    }
    return true;
}

bool MariaBackend::command(const QString& sql, ErrorList& errors) {
    qint64 affected = 0;
    return command(sql.toUtf8(), affected, errors);
}

bool MariaBackend::start(const QByteArray& sql, ResultData& out,
                         std::unique_ptr<MariaCursor>& cursor, ErrorList& errors) {
    cursor.reset();
    // A request to stop after this point ends this statement.
    m_killSent = false;
    if (mysql_real_query(m_conn, sql.constData(), (unsigned long)sql.size()) != 0) {
        errors = sessionErrors();
        return false;
    }
    // Up to the first result with rows; statements before it only change rows.
    for (;;) {
        if (mysql_field_count(m_conn) > 0) {
            MYSQL_RES* r = mysql_use_result(m_conn);
            if (!r) {
                errors = sessionErrors();
                return false;
            }
            out.clear();
            describeMariaResult(r, out);
            cursor = std::make_unique<MariaCursor>(this, r, out);
            return true;
        }
        const my_ulonglong n = mysql_affected_rows(m_conn);
        if (n != my_ulonglong(-1)) out.addAffected(qint64(n));
        const int next = mysql_next_result(m_conn);
        if (next < 0) return true;
        if (next > 0) {
            errors = sessionErrors();
            return false;
        }
    }
}

bool MariaBackend::rows(const QString& sql, ResultData& out, ErrorList& errors) {
    settle();
    out.clear();
    if (!m_conn) {
        errors = {errors::objectClosed(kSource)};
        return false;
    }
    std::unique_ptr<MariaCursor> cursor;
    if (!start(sql.toUtf8(), out, cursor, errors)) return false;
    bool done = !cursor;
    while (!done)
        if (!cursor->fetch(out, size_t(-1), done, errors)) return false;
    return true;
}

void MariaBackend::appendQuoted(QByteArray& out, std::string_view text) const {
    // The library writes the escapes the session reads (quotes doubled where backslashes are
    // plain characters).
    const qsizetype at = out.size();
    out.resize(at + 1 + qsizetype(text.size()) * 2 + 1);
    char* to = out.data() + at;
    *to = '\'';
    const unsigned long n =
        mysql_real_escape_string(m_conn, to + 1, text.data(), (unsigned long)text.size());
    to[1 + n] = '\'';
    out.resize(at + 2 + qsizetype(n));
}

bool MariaBackend::loadRows(const QByteArray& sql, const QByteArray& rows, qint64& affected,
                            ErrorList& errors) {
    settle();
    if (!m_conn) {
        errors = {errors::objectClosed(kSource)};
        return false;
    }
    m_localRows = {&rows, 0, true};
    allowLocalFiles(m_conn, true);
    const bool ok = command(sql, affected, errors);
    allowLocalFiles(m_conn, false);
    m_localRows = {};
    return ok;
}

ErrorList MariaBackend::warnings() {
    ErrorList out;
    if (!m_conn || mysql_warning_count(m_conn) == 0) return out;
    ResultData r;
    ErrorList ignored;
    // Read as plain text: a statement prepared first would clear them.
    if (!rows(QStringLiteral("SHOW WARNINGS"), r, ignored) || r.data.size() < 3) return out;
    for (size_t i = 0; i < r.rows; ++i)
        out.push_back({qint32(r.data[1].text(i).toInt()), r.data[2].text(i),
                       QStringLiteral("%1 (HY000)").arg(kSource), QStringLiteral("HY000")});
    return out;
}

bool MariaBackend::applyTimeout(int timeoutSeconds, ErrorList& errors) {
    if (timeoutSeconds == m_timeout) return true;
    // The server's own limit stops every statement of a text (error 1969).
    ErrorList failure;
    if (!command(QStringLiteral("SET SESSION max_statement_time = %1").arg(timeoutSeconds),
                 failure)) {
        // A server without the setting still runs statements, without a limit; a lost
        // session is told as it is.
        if (m_dialect.endsSession(failure)) {
            errors = std::move(failure);
            return false;
        }
    }
    m_timeout = timeoutSeconds;
    return true;
}

void MariaBackend::interruptRunning() {
    if (m_killSent.exchange(true)) return;
    unsigned long thread = 0;
    {
        const std::lock_guard lock(m_cancelLock);
        thread = m_threadId;
    }
    if (!thread) return;
    // The running session cannot be spoken to: a short second one ends its statement.
    MYSQL* killer = mysql_init(nullptr);
    if (!killer) return;
    ErrorList ignored;
    if (connect(killer, false, ignored)) {
        const QByteArray sql = "KILL QUERY " + QByteArray::number(qulonglong(thread));
        mysql_real_query(killer, sql.constData(), (unsigned long)sql.size());
    }
    mysql_close(killer);
}

bool MariaBackend::inTransaction() const {
    unsigned int status = 0;
    if (!m_conn || mariadb_get_infov(m_conn, MARIADB_CONNECTION_SERVER_STATUS, &status) != 0)
        return true;
    return (status & SERVER_STATUS_IN_TRANS) || !(status & SERVER_STATUS_AUTOCOMMIT);
}

bool MariaBackend::tables(std::vector<TableEntry>& out, ErrorList& errors) {
    ResultData r;
    // The current database's tables: only they open without their database's name.
    if (!rows(QStringLiteral("select table_name, case table_type "
                             "when 'BASE TABLE' then 'TABLE' when 'SYSTEM VIEW' then "
                             "'SYSTEM TABLE' else table_type end "
                             "from information_schema.tables where table_schema = database() "
                             "order by 2, 1"),
              r, errors))
        return false;
    for (size_t i = 0; i < r.rows; ++i)
        out.push_back({r.data[0].text(i), r.data[1].text(i), QString()});
    return true;
}

bool MariaBackend::primaryKey(const QString& table, QStringList& columns, ErrorList& errors) {
    QByteArray sql = "select column_name from information_schema.key_column_usage "
                     "where table_schema = database() and constraint_name = 'PRIMARY' "
                     "and table_name = ";
    if (!m_conn) {
        errors = {errors::objectClosed(kSource)};
        return false;
    }
    appendQuoted(sql, table.toStdString());
    sql += " order by ordinal_position";
    ResultData r;
    if (!rows(QString::fromUtf8(sql), r, errors)) return false;
    for (size_t i = 0; i < r.rows; ++i)
        columns << r.data[0].text(i);
    return true;
}

bool MariaBackend::columns(const TableEntry& table, QStringList& names, ErrorList& errors) {
    if (!m_conn) {
        errors = {errors::objectClosed(kSource)};
        return false;
    }
    QByteArray sql = "select column_name from information_schema.columns where table_schema = ";
    if (table.Schema.isEmpty()) {
        sql += "database()";
    } else {
        appendQuoted(sql, table.Schema.toStdString());
    }
    sql += " and table_name = ";
    appendQuoted(sql, table.Name.toStdString());
    sql += " order by ordinal_position";
    ResultData r;
    if (!rows(QString::fromUtf8(sql), r, errors)) return false;
    for (size_t i = 0; i < r.rows; ++i)
        names << r.data[0].text(i);
    return true;
}

bool MariaBackend::beginTransaction(ErrorList& errors) {
    return command(QStringLiteral("START TRANSACTION"), errors);
}

bool MariaBackend::commit(ErrorList& errors) {
    return command(QStringLiteral("COMMIT"), errors);
}

bool MariaBackend::rollback(ErrorList& errors) {
    return command(QStringLiteral("ROLLBACK"), errors);
}

bool MariaBackend::connectionDead() {
    if (!m_conn || m_lost) return true;
    // A session the server ended meanwhile (a kill, its idle timeout) is found before the
    // next statement, as the ODBC driver finds it, so that one is not lost with it. A stream
    // holds the session: it is alive.
    if (m_streaming) return false;
    if (mysql_ping(m_conn) != 0) sessionErrors();
    return m_lost;
}

QString MariaBackend::defaultDatabase() {
    if (!m_conn) return QString();
    const char* schema = nullptr;
    if (mariadb_get_infov(m_conn, MARIADB_CONNECTION_SCHEMA, &schema) != 0 || !schema)
        return QString();
    return QString::fromUtf8(schema);
}

} // namespace db
