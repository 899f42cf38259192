#include "MariaStatement.h"

#include "MariaBackend.h"
#include "MariaCursor.h"
#include "db/SqlScanner.h"
#include "db/TextCells.h"
#include "db/ValueText.h"

#include <QRegularExpression>
#include <algorithm>
#include <mysql.h>
#include <optional>

namespace db {

namespace {
const QString kSource = QStringLiteral("Tolvan.MariaDB");

// The UTF-8 bytes of a value's text, to hand to write.
template <typename Write> void withUtf8(const Value& v, Write write) {
    if (v.hasUtf8()) return write(v.utf8());
    const QByteArray text = v.text().toUtf8();
    write(std::string_view(text.constData(), size_t(text.size())));
}

// "True" and "False" as the digit a bit reads: as text a BIT(1) takes "1" for its bytes.
std::optional<char> boolDigit(const Value& v, const ColumnInfo* c) {
    if (!c || c->storage != Storage::Int || c->intForm != IntForm::Bool) return std::nullopt;
    const std::optional<qint64> b = parsePacked(v.text(), IntForm::Bool);
    if (!b) return std::nullopt;
    return *b ? '1' : '0';
}

} // namespace

QString mariaEngineOf(const QString& createText) {
    // The table's options follow its last closing parenthesis; a comment inside the columns
    // cannot hold a line break (the server writes it as "\n").
    static const QRegularExpression engine(QStringLiteral("\\n\\)\\s*ENGINE=(\\w+)"));
    const QRegularExpressionMatch m = engine.match(createText);
    return m.hasMatch() ? m.captured(1) : QString();
}

bool mariaTableIsTransactional(Backend& backend, const QString& tableSql) {
    ErrorList ignored;
    ResultData create, transactions;
    if (!backend.query(QStringLiteral("SHOW CREATE TABLE ") + tableSql, 0, create, ignored) ||
        create.rows != 1 || create.data.size() < 2)
        return false;
    const QString engine = mariaEngineOf(create.data[1].text(0));
    return !engine.isEmpty() &&
           backend.query(QStringLiteral("SELECT TRANSACTIONS FROM information_schema.ENGINES "
                                        "WHERE ENGINE = '%1'")
                             .arg(engine),
                         0, transactions, ignored) &&
           transactions.rows == 1 && !transactions.data.empty() &&
           transactions.data[0].text(0).compare(QLatin1String("YES"), Qt::CaseInsensitive) == 0;
}

MariaStatement::MariaStatement(MariaBackend* backend, const QString& sql,
                               std::vector<ColumnInfo> params)
    : m_backend(backend), m_params(std::move(params)) {
    qsizetype from = 0;
    scan::Scanner scanner(sql, scan::mysql());
    for (scan::Token t = scanner.next(); t.kind != scan::Token::End; t = scanner.next()) {
        if (t.kind != scan::Token::Other || t.pos >= sql.size() || sql[t.pos] != u'?') continue;
        m_pieces.push_back(QStringView(sql).mid(from, t.pos - from).toUtf8());
        from = t.pos + 1;
    }
    m_pieces.push_back(QStringView(sql).mid(from).toUtf8());
}

void MariaStatement::appendLiteral(QByteArray& out, const Value& v, const ColumnInfo* c,
                                   const MariaBackend& backend) {
    if (v.isNull()) {
        out += "NULL";
        return;
    }
    if (c && c->storage == Storage::Blob) {
        // Bytes go in as the bytes their hex text names.
        out += "X'";
        out += QByteArray::fromHex(v.text().toLatin1()).toHex();
        out += '\'';
        return;
    }
    if (const std::optional<char> digit = boolDigit(v, c)) {
        out += *digit;
        return;
    }
    withUtf8(v, [&](std::string_view text) { backend.appendQuoted(out, text); });
}

QByteArray MariaStatement::text(const std::vector<Value>& params) const {
    QByteArray out;
    for (size_t i = 0; i < m_pieces.size(); ++i) {
        out += m_pieces[i];
        if (i + 1 == m_pieces.size()) break;
        if (i < params.size()) {
            appendLiteral(out, params[i], i < m_params.size() ? &m_params[i] : nullptr, *m_backend);
        } else {
            out += "NULL";
        }
    }
    return out;
}

bool MariaStatement::execute(const std::vector<Value>& params, qint64& affected,
                             ErrorList& errors) {
    affected = 0;
    m_backend->settle();
    if (m_backend->interrupted()) return m_backend->failed(errors);
    if (!m_backend->connection()) {
        errors = {errors::objectClosed(kSource)};
        return false;
    }
    if (!m_backend->command(text(params), affected, errors)) return m_backend->failed(errors);
    // A run that changed no row and left notes fails with them: they tell why (a value the
    // server turned into another under a lenient mode, a row a trigger passed over).
    if (affected == 0) {
        ErrorList notes = m_backend->warnings();
        if (!notes.empty()) {
            errors = std::move(notes);
            return false;
        }
    }
    return true;
}

bool MariaStatement::select(const std::vector<Value>& params, ResultData& out, ErrorList& errors) {
    out.clear();
    m_backend->settle();
    if (m_backend->interrupted()) return m_backend->failed(errors);
    if (!m_backend->connection()) {
        errors = {errors::objectClosed(kSource)};
        return false;
    }
    std::unique_ptr<MariaCursor> cursor;
    if (!m_backend->startOne(text(params), out, cursor, errors)) return m_backend->failed(errors);
    bool done = !cursor;
    while (!done)
        if (!cursor->fetch(out, size_t(-1), done, errors)) return false;
    return true;
}

MariaLoadInsert::MariaLoadInsert(std::unique_ptr<MariaStatement> single, MariaBackend* backend,
                                 const QString& tableSql, const QStringList& columnSql,
                                 std::vector<ColumnInfo> params)
    : m_single(std::move(single)), m_backend(backend), m_params(std::move(params)) {
    // The file's name is never opened: the session's handler serves the rows.
    QStringList targets, sets;
    for (qsizetype i = 0; i < columnSql.size(); ++i) {
        const ColumnInfo* c = size_t(i) < m_params.size() ? &m_params[size_t(i)] : nullptr;
        const QString var = QStringLiteral("@tolvan_%1").arg(i);
        if (c && c->storage == Storage::Blob) {
            targets << var;
            sets << QStringLiteral("%1 = UNHEX(%2)").arg(columnSql[i], var);
        } else if (c && c->storage == Storage::Int && c->intForm == IntForm::Bool) {
            // As text a bit takes "1" for its bytes.
            targets << var;
            sets << QStringLiteral("%1 = CAST(%2 AS UNSIGNED)").arg(columnSql[i], var);
        } else {
            targets << columnSql[i];
        }
    }
    QString sql = QStringLiteral("LOAD DATA LOCAL INFILE 'tolvan-rows' INTO TABLE %1 CHARACTER SET "
                                 "utf8mb4 FIELDS TERMINATED BY '\\t' ESCAPED BY '\\\\' "
                                 "LINES TERMINATED BY '\\n' (%2)")
                      .arg(tableSql, targets.join(QStringLiteral(", ")));
    if (!sets.isEmpty()) sql += QStringLiteral(" SET ") + sets.join(QStringLiteral(", "));
    m_loadSql = sql.toUtf8();
}

void MariaLoadInsert::loadText(const std::vector<std::vector<Value>>& rows,
                               const std::vector<ColumnInfo>& columns, QByteArray& out) {
    out.clear();
    out.reserve(qsizetype(rows.size()) * 128);
    for (const std::vector<Value>& row : rows) {
        for (size_t i = 0; i < row.size(); ++i) {
            if (i) out += '\t';
            const Value& v = row[i];
            if (v.isNull()) {
                out += "\\N";
                continue;
            }
            const ColumnInfo* c = i < columns.size() ? &columns[i] : nullptr;
            if (c && c->storage == Storage::Blob) {
                // Hex digits only, whatever the text held besides.
                out += QByteArray::fromHex(v.text().toLatin1()).toHex();
            } else if (const std::optional<char> digit = boolDigit(v, c)) {
                out += *digit;
            } else {
                withUtf8(v, [&](std::string_view text) { appendBulkField(out, text, true); });
            }
        }
        out += '\n';
    }
}

bool MariaLoadInsert::executeRows(const std::vector<std::vector<Value>>& rows, ErrorList& errors) {
    qint64 affected = 0;
    if (rows.size() == 1) return m_single->execute(rows.front(), affected, errors);
    m_backend->settle();
    if (m_backend->interrupted()) return m_backend->failed(errors);
    QByteArray text;
    loadText(rows, m_params, text);
    // Its own transaction, or a savepoint inside the caller's: taken back whole on a note.
    const bool nested = m_backend->inTransaction();
    if (!m_backend->command(nested ? QStringLiteral("SAVEPOINT tolvan_rows")
                                   : QStringLiteral("START TRANSACTION"),
                            errors))
        return m_backend->failed(errors);
    const auto takeBack = [&] {
        ErrorList ignored;
        m_backend->command(nested ? QStringLiteral("ROLLBACK TO SAVEPOINT tolvan_rows")
                                  : QStringLiteral("ROLLBACK"),
                           ignored);
    };
    if (!m_backend->loadRows(m_loadSql, text, affected, errors)) {
        takeBack();
        return m_backend->failed(errors);
    }
    if (affected != qint64(rows.size()) || mysql_warning_count(m_backend->connection()) > 0) {
        // A value changed or a row passed over (a duplicate key): none of the batch stays.
        const ErrorList notes = m_backend->warnings();
        takeBack();
        errors = notes.empty() ? ErrorList{{ErrorNumber::Fail,
                                            QStringLiteral("The server stored %1 of %2 rows.")
                                                .arg(affected)
                                                .arg(rows.size()),
                                            kSource}}
                               : notes;
        return false;
    }
    return m_backend->command(nested ? QStringLiteral("RELEASE SAVEPOINT tolvan_rows")
                                     : QStringLiteral("COMMIT"),
                              errors) ||
           m_backend->failed(errors);
}

} // namespace db
