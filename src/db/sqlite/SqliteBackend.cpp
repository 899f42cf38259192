#include "SqliteBackend.h"

#include "SqliteHandles.h"
#include "SqliteTypes.h"

#include "db/AdoType.h"
#include "db/SqlParts.h"
#include "db/ValueText.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <sqlite3.h>

#include <cctype>
#include <cmath>
#include <limits>
#include <optional>

namespace db {

namespace {
const QString& kSource = kSqliteSource;
// How long a statement waits for a lock another process holds before it reports the file
// busy, and how often a commit tries again after such a wait.
constexpr int kBusyTimeoutMs = 5000;
constexpr int kCommitAttempts = 3;

// Ends a statement that outruns the command timeout or that the user cancels.
struct Deadline {
    const Backend* backend = nullptr;
    QElapsedTimer timer;
    qint64 limitMs = 0;
    bool expired = false;
    static int check(void* p) {
        auto* d = static_cast<Deadline*>(p);
        if (d->limitMs > 0 && d->timer.elapsed() >= d->limitMs) d->expired = true;
        return d->expired || d->backend->interrupted() ? 1 : 0;
    }
};

// The handler also watches for a cancel, so it is set with or without a timeout:
// sqlite3_interrupt alone misses a statement that starts just after it.
class ProgressGuard {
public:
    ProgressGuard(sqlite3* db, const Backend* backend, int timeoutSeconds, Deadline& d) : m_db(db) {
        d.backend = backend;
        if (timeoutSeconds > 0) d.limitMs = qint64(timeoutSeconds) * 1000;
        d.timer.start();
        sqlite3_progress_handler(db, 4000, &Deadline::check, &d);
    }
    ~ProgressGuard() { sqlite3_progress_handler(m_db, 0, nullptr, nullptr); }

private:
    sqlite3* m_db;
};

void describeColumns(sqlite3_stmt* stmt, ResultData& out) {
    const int n = sqlite3_column_count(stmt);
    for (int i = 0; i < n; ++i) {
        ColumnInfo c;
        c.name = QString::fromUtf8(sqlite3_column_name(stmt, i));
        describeSqliteColumn(QString::fromUtf8(sqlite3_column_decltype(stmt, i)), c);
        const char* table = sqlite3_column_table_name(stmt, i);
        const char* origin = sqlite3_column_origin_name(stmt, i);
        c.fromExpression = origin == nullptr;
        if (table) c.baseTable = QString::fromUtf8(table);
        if (origin) c.baseColumn = QString::fromUtf8(origin);
        // Columns without a declared type take the storage of their first value.
        if (c.type == adVariant && sqlite3_stmt_busy(stmt)) {
            switch (sqlite3_column_type(stmt, i)) {
            case SQLITE_INTEGER:
                c.storage = Storage::Int;
                break;
            case SQLITE_FLOAT:
                c.storage = Storage::Real;
                break;
            case SQLITE_BLOB:
                c.storage = Storage::Blob;
                break;
            default:
                break;
            }
        }
        out.addColumn(std::move(c));
    }
}

void appendText(ColumnData& d, sqlite3_stmt* stmt, int i) {
    const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(stmt, i));
    d.appendBytes(std::string_view(p ? p : "", size_t(sqlite3_column_bytes(stmt, i))));
}

void appendCell(ColumnData& d, sqlite3_stmt* stmt, int i) {
    switch (sqlite3_column_type(stmt, i)) {
    case SQLITE_NULL:
        d.appendNull();
        return;
    case SQLITE_INTEGER: {
        const sqlite3_int64 v = sqlite3_column_int64(stmt, i);
        if (d.storage() == Storage::Int) return d.appendInt(v);
        if (d.storage() == Storage::Real && std::llabs(v) <= (1LL << 53))
            return d.appendReal(double(v));
        break;
    }
    case SQLITE_FLOAT:
        if (d.storage() == Storage::Real) return d.appendReal(sqlite3_column_double(stmt, i));
        break;
    case SQLITE_BLOB: {
        const auto* p = static_cast<const char*>(sqlite3_column_blob(stmt, i));
        const std::string_view bytes(p ? p : "", size_t(sqlite3_column_bytes(stmt, i)));
        if (d.storage() == Storage::Blob) return d.appendBytes(bytes);
        // A blob in a column of other values keeps its own kind.
        d.promoteToText();
        return d.appendBlobInText(bytes);
    }
    default:
        if (d.storage() == Storage::Text) return appendText(d, stmt, i);
        break;
    }
    // The value does not fit the column's storage: SQLite's text of it, exactly as stored.
    d.promoteToText();
    appendText(d, stmt, i);
}

// Upper- or lower-case hex digits, two per byte: the text form of bytes.
bool isHexText(const QString& t) {
    if (t.size() % 2) return false;
    for (QChar c : t)
        if (!isxdigit(c.unicode() < 128 ? c.toLatin1() : 'x')) return false;
    return true;
}

// The texts of the infinities: bound as text, SQLite would keep them as that text even in a
// REAL column, while it stores their numbers.
std::optional<double> infinity(const Value& v) {
    const QString t = v.text();
    if (t == QLatin1String("Infinity")) return std::numeric_limits<double>::infinity();
    if (t == QLatin1String("-Infinity")) return -std::numeric_limits<double>::infinity();
    return std::nullopt;
}

class SqliteStatement : public PreparedStatement {
public:
    SqliteStatement(sqlite3* db, sqlite3_stmt* stmt, std::vector<bool> binary,
                    std::vector<bool> real)
        : m_db(db), m_stmt(stmt), m_binary(std::move(binary)), m_real(std::move(real)) {}
    void bind(const std::vector<Value>& params) {
        sqlite3_stmt* s = m_stmt.get();
        sqlite3_reset(s);
        // The texts stay in these buffers until the next run, so SQLite need not copy them.
        m_texts.resize(params.size());
        for (size_t i = 0; i < params.size(); ++i) {
            const int idx = int(i) + 1;
            if (params[i].isNull()) {
                sqlite3_bind_null(s, idx);
                continue;
            }
            std::string& buf = m_texts[i];
            buf.clear();
            const bool binary = i < m_binary.size() && m_binary[i];
            if (i < m_real.size() && m_real[i]) {
                if (const std::optional<double> v = infinity(params[i])) {
                    sqlite3_bind_double(s, idx, *v);
                    continue;
                }
            }
            if (params[i].hasUtf8() && !binary) {
                // Bytes from a file go in as they came: the text's own UTF-8, kept bytes too.
                buf.assign(params[i].utf8());
                sqlite3_bind_text(s, idx, buf.data(), int(buf.size()), SQLITE_STATIC);
                continue;
            }
            const QString t = params[i].text();
            if (binary && isHexText(t)) {
                // A binary column takes the bytes its hex text names, never the text.
                buf = QByteArray::fromHex(t.toLatin1()).toStdString();
                sqlite3_bind_blob(s, idx, buf.data(), int(buf.size()), SQLITE_STATIC);
                continue;
            }
            appendUtf16AsUtf8(buf, reinterpret_cast<const char16_t*>(t.utf16()), size_t(t.size()));
            sqlite3_bind_text(s, idx, buf.data(), int(buf.size()), SQLITE_STATIC);
        }
    }

    bool select(const std::vector<Value>& params, ResultData& out, ErrorList& errors) override {
        sqlite3_stmt* s = m_stmt.get();
        bind(params);
        out.clear();
        int rc = sqlite3_step(s);
        describeColumns(s, out);
        for (; rc == SQLITE_ROW; rc = sqlite3_step(s)) {
            for (size_t i = 0; i < out.columns.size(); ++i)
                appendCell(out.data[i], s, int(i));
            ++out.rows;
        }
        sqlite3_reset(s);
        if (rc != SQLITE_DONE) {
            errors = {sqliteError(m_db, rc)};
            return false;
        }
        return true;
    }

    bool execute(const std::vector<Value>& params, qint64& affected, ErrorList& errors) override {
        sqlite3_stmt* s = m_stmt.get();
        bind(params);
        int rc;
        while ((rc = sqlite3_step(s)) == SQLITE_ROW) {
        }
        if (rc != SQLITE_DONE) {
            errors = {sqliteError(m_db, rc)};
            sqlite3_reset(s);
            return false;
        }
        affected = sqlite3_changes64(m_db);
        sqlite3_reset(s);
        return true;
    }

private:
    sqlite3* m_db;
    StmtPtr m_stmt;
    std::vector<bool> m_binary;
    std::vector<bool> m_real;
    std::vector<std::string> m_texts;
};
} // namespace

SqliteBackend::~SqliteBackend() {
    close();
}

const DatabaseDialect& SqliteBackend::dialect() const {
    static const DatabaseDialect sqlite = [] {
        DatabaseDialect d;
        d.dbmsName = QStringLiteral("SQLite");
        d.family = SqlFamily::Bracketed;
        d.identifierQuote = QStringLiteral("\"");
        d.acceptsBrackets = true;
        // A failed statement undoes itself alone; there is no session to lose.
        d.keepsTransactionOnError = true;
        return d;
    }();
    return sqlite;
}

bool SqliteBackend::open(const LoginParams& login, ErrorList& errors) {
    const QString path = login.dataSource;
    const QFileInfo info(path);
    if (path.isEmpty() || !info.exists() || info.isDir()) {
        errors = {errors::fileNotFound(qint32(SQLITE_CANTOPEN), path, kSource)};
        return false;
    }
    const QByteArray file = path.toUtf8();
    // One connection is used from one thread only.
    int rc = sqlite3_open_v2(file.constData(), &m_db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX,
                             nullptr);
    if (rc != SQLITE_OK) {
        // A file the user may read but not write still opens, for reading.
        sqlite3_close(m_db);
        m_db = nullptr;
        rc = sqlite3_open_v2(file.constData(), &m_db, SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX,
                             nullptr);
    }
    if (rc != SQLITE_OK) {
        errors = {sqliteError(m_db, rc)};
        close();
        return false;
    }
    sqlite3_extended_result_codes(m_db, 1);
    sqlite3_busy_timeout(m_db, kBusyTimeoutMs);
    // Reading the schema tells a database from any other file.
    if (!exec("SELECT count(*) FROM sqlite_master", errors)) {
        // A file that another process holds locked is a database all the same.
        const int code = errors.front().Number & 0xff;
        if (code != SQLITE_BUSY && code != SQLITE_LOCKED)
            errors.front().Description = QStringLiteral("Unrecognized database format '%1'. (%2)")
                                             .arg(path, errors.front().Description);
        close();
        return false;
    }
    return true;
}

void SqliteBackend::close() {
    if (m_db) sqlite3_close_v2(m_db);
    m_db = nullptr;
}

bool SqliteBackend::exec(const char* sql, ErrorList& errors) {
    const int rc = sqlite3_exec(m_db, sql, nullptr, nullptr, nullptr);
    if (rc == SQLITE_OK) return true;
    errors = {sqliteError(m_db, rc)};
    return false;
}

namespace {
Error timeoutError() {
    return {ErrorNumber::Timeout, QStringLiteral("Query timeout expired"), kSource};
}

// Why a step failed: a cancel or the timeout rather than SQLite's "interrupted".
Error stepError(const Deadline& d, sqlite3* db, int rc) {
    if (d.backend->interrupted()) return errors::cancelled(kSource);
    if (d.expired) return timeoutError();
    return sqliteError(db, rc);
}

// True for a statement whose changes sqlite3_changes64 counts: an INSERT, UPDATE, DELETE or
// REPLACE, maybe after a WITH. After any other statement it would still tell the last
// change's count.
bool countsChanges(sqlite3_stmt* stmt) {
    if (sqlite3_stmt_readonly(stmt)) return false;
    const QString sql = QString::fromUtf8(sqlite3_sql(stmt));
    const QStringView word = leadingWord(sql, SqlFamily::Bracketed);
    // A WITH that writes is one of the four; one that reads is read-only.
    for (const char16_t* w : {u"insert", u"update", u"delete", u"replace", u"with"})
        if (word.compare(QStringView(w), Qt::CaseInsensitive) == 0) return true;
    return false;
}

// Runs the statements of a text one at a time, in order.
class StatementRunner {
public:
    StatementRunner(sqlite3* db, const Backend* backend, const QString& sql, int timeoutSeconds)
        : m_db(db), m_backend(backend), m_text(sql.toUtf8()), m_timeout(timeoutSeconds) {}

    sqlite3* db() const { return m_db; }
    const Backend* backend() const { return m_backend; }
    int timeout() const { return m_timeout; }

    // Prepares the next statement; stmt stays null at the end of the text.
    bool next(StmtPtr& stmt, ErrorList& errors) {
        stmt.reset();
        const char* end = m_text.constData() + m_text.size();
        while (m_offset < m_text.size()) {
            const char* tail = m_text.constData() + m_offset;
            sqlite3_stmt* raw = nullptr;
            const char* rest = nullptr;
            const int rc = sqlite3_prepare_v2(m_db, tail, int(end - tail), &raw, &rest);
            if (rc != SQLITE_OK) {
                errors = {m_backend->interrupted() ? errors::cancelled(kSource)
                                                   : sqliteError(m_db, rc)};
                return false;
            }
            m_offset = rest - m_text.constData();
            if (raw) { // else only blanks or a comment
                stmt.reset(raw);
                return true;
            }
        }
        return true;
    }

    // Runs every statement that is left, throwing their rows away.
    bool runRest(ErrorList& errors) {
        Deadline deadline;
        ProgressGuard guard(m_db, m_backend, m_timeout, deadline);
        StmtPtr stmt;
        for (;;) {
            if (!next(stmt, errors)) return false;
            if (!stmt) return true;
            int rc;
            while ((rc = sqlite3_step(stmt.get())) == SQLITE_ROW) {
            }
            if (rc != SQLITE_DONE) {
                errors = {stepError(deadline, m_db, rc)};
                return false;
            }
        }
    }

private:
    sqlite3* m_db;
    const Backend* m_backend;
    QByteArray m_text;
    qsizetype m_offset = 0;
    int m_timeout;
};

class SqliteCursor : public RowCursor {
public:
    SqliteCursor(std::unique_ptr<StatementRunner> runner, StmtPtr stmt)
        : m_runner(std::move(runner)), m_stmt(std::move(stmt)) {}

    bool fetch(ResultData& out, size_t maxRows, bool& done, ErrorList& errors) override {
        done = false;
        sqlite3_stmt* raw = m_stmt.get();
        const size_t n = out.columns.size();
        if (m_runner->backend()->interrupted()) {
            errors = {errors::cancelled(kSource)};
            return false;
        }
        Deadline deadline;
        ProgressGuard guard(m_runner->db(), m_runner->backend(), m_runner->timeout(), deadline);
        // The statement stands on a row already: the one that described it, or the next.
        for (size_t got = 0; got < maxRows; ++got) {
            for (size_t i = 0; i < n; ++i)
                appendCell(out.data[i], raw, int(i));
            ++out.rows;
            const int rc = sqlite3_step(raw);
            if (rc == SQLITE_ROW) continue;
            if (rc != SQLITE_DONE) {
                errors = {stepError(deadline, m_runner->db(), rc)};
                return false;
            }
            m_stmt.reset();
            done = true;
            return m_runner->runRest(errors);
        }
        return true;
    }

private:
    std::unique_ptr<StatementRunner> m_runner;
    StmtPtr m_stmt;
};
} // namespace

bool SqliteBackend::execute(const QString& sql, int timeoutSeconds, ResultData& out,
                            std::unique_ptr<RowCursor>& cursor, ErrorList& errors) {
    out.clear();
    cursor.reset();
    if (interrupted()) {
        errors = {errors::cancelled(kSource)};
        return false;
    }
    auto runner = std::make_unique<StatementRunner>(m_db, this, sql, timeoutSeconds);
    Deadline deadline;
    ProgressGuard guard(m_db, this, timeoutSeconds, deadline);
    StmtPtr stmt;
    for (;;) {
        if (!runner->next(stmt, errors)) return false;
        if (!stmt) return true;
        sqlite3_stmt* raw = stmt.get();
        const bool hasRows = sqlite3_column_count(raw) > 0;
        int rc;
        if (hasRows) {
            rc = sqlite3_step(raw);
            if (rc == SQLITE_ROW) {
                describeColumns(raw, out);
                cursor = std::make_unique<SqliteCursor>(std::move(runner), std::move(stmt));
                return true;
            }
            if (rc == SQLITE_DONE) {
                describeColumns(raw, out);
                stmt.reset();
                return runner->runRest(errors);
            }
        } else {
            while ((rc = sqlite3_step(raw)) == SQLITE_ROW) {
            }
            if (rc == SQLITE_DONE) {
                if (countsChanges(raw)) out.addAffected(sqlite3_changes64(m_db));
                continue;
            }
        }
        errors = {stepError(deadline, m_db, rc)};
        return false;
    }
}

void SqliteBackend::interruptRunning() {
    // Safe from another thread while the connection stays open; the progress handler
    // catches a statement that starts after this.
    if (m_db) sqlite3_interrupt(m_db);
}

std::unique_ptr<PreparedStatement>
SqliteBackend::prepare(const QString& sql, const std::vector<const ColumnInfo*>& paramColumns,
                       ErrorList& errors) {
    const QByteArray text = sql.toUtf8();
    sqlite3_stmt* raw = nullptr;
    const int rc = sqlite3_prepare_v3(m_db, text.constData(), int(text.size()),
                                      SQLITE_PREPARE_PERSISTENT, &raw, nullptr);
    if (rc != SQLITE_OK || !raw) {
        errors = {sqliteError(m_db, rc)};
        sqlite3_finalize(raw);
        return nullptr;
    }
    std::vector<bool> binary, real;
    for (const ColumnInfo* c : paramColumns) {
        binary.push_back(c && c->storage == Storage::Blob);
        real.push_back(c && c->storage == Storage::Real);
    }
    return std::make_unique<SqliteStatement>(m_db, raw, std::move(binary), std::move(real));
}

bool SqliteBackend::beginTransaction(ErrorList& errors) {
    if (sqlite3_get_autocommit(m_db) == 0) {
        m_ownTransaction = false;
        return true;
    }
    // IMMEDIATE takes the write lock now, waiting for another writer (another process
    // importing into the same file) within the busy timeout. A deferred BEGIN would take it
    // at the first insert, where SQLite refuses to wait if that could deadlock.
    m_ownTransaction = exec("BEGIN IMMEDIATE", errors);
    return m_ownTransaction;
}

bool SqliteBackend::commit(ErrorList& errors) {
    if (!m_ownTransaction) return true;
    // A reader of another process may hold the file for a while: each try waits the busy
    // timeout. A commit that still fails is rolled back, so that no lock stays behind and
    // no later insert lands in a transaction nobody ends.
    for (int attempt = 0; attempt < kCommitAttempts; ++attempt) {
        if (sqlite3_get_autocommit(m_db) || exec("COMMIT", errors)) {
            m_ownTransaction = false;
            return true;
        }
        const int code = errors.front().Number & 0xff;
        if (code != SQLITE_BUSY && code != SQLITE_LOCKED) break;
    }
    ErrorList ignored;
    if (!sqlite3_get_autocommit(m_db)) exec("ROLLBACK", ignored);
    m_ownTransaction = false;
    return false;
}

bool SqliteBackend::rollback(ErrorList& errors) {
    if (!m_ownTransaction) return true;
    m_ownTransaction = false;
    return sqlite3_get_autocommit(m_db) || exec("ROLLBACK", errors);
}

} // namespace db
