#include "MariaStatement.h"

#include "MariaBackend.h"
#include "MariaCursor.h"
#include "db/SqlScanner.h"
#include "db/ValueText.h"

#include <QRegularExpression>
#include <algorithm>
#include <mysql.h>

namespace db {

namespace {
const QString kSource = QStringLiteral("Tolvan.MariaDB");
// Rows of one statement at most, as many as the ODBC driver's statements take parameters.
constexpr size_t kMaxValues = 65535;

void appendValueText(QByteArray& out, const Value& v, const MariaBackend& backend) {
    if (v.hasUtf8()) return backend.appendQuoted(out, v.utf8());
    const QByteArray text = v.text().toUtf8();
    backend.appendQuoted(out, std::string_view(text.constData(), size_t(text.size())));
}

// A run that changed no row and left notes fails with them: they tell why (a value the
// server turned into another under a lenient mode, a row a trigger passed over).
bool failWithWarnings(MariaBackend& backend, ErrorList& errors) {
    MYSQL* conn = backend.connection();
    if (!conn || mysql_warning_count(conn) == 0) return true;
    ResultData r;
    ErrorList ignored;
    if (!backend.query(QStringLiteral("SHOW WARNINGS"), 0, r, ignored) || r.data.size() < 3)
        return true;
    errors.clear();
    for (size_t i = 0; i < r.rows; ++i)
        errors.push_back({qint32(r.data[1].text(i).toInt()), r.data[2].text(i),
                          QStringLiteral("%1 (HY000)").arg(kSource), QStringLiteral("HY000")});
    return errors.empty();
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
    if (c && c->storage == Storage::Int && c->intForm == IntForm::Bool) {
        // "True" and "False" as the numbers a bit reads: as text a BIT(1) takes "1" for its
        // bytes.
        if (const std::optional<qint64> b = parsePacked(v.text(), IntForm::Bool)) {
            out += *b ? '1' : '0';
            return;
        }
    }
    appendValueText(out, v, backend);
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
    if (affected == 0 && !failWithWarnings(*m_backend, errors)) return false;
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

size_t MariaValuesInsert::rowsLimit() const {
    return std::max<size_t>(kMaxValues / std::max<size_t>(m_params.size(), 1), 1);
}

bool MariaValuesInsert::executeRows(const std::vector<std::vector<Value>>& rows,
                                    ErrorList& errors) {
    qint64 affected = 0;
    if (rows.size() == 1) return m_single->execute(rows.front(), affected, errors);
    m_backend->settle();
    if (m_backend->interrupted()) return m_backend->failed(errors);
    QByteArray sql = m_insertSql;
    sql.reserve(sql.size() + qsizetype(rows.size()) * 96);
    for (size_t r = 0; r < rows.size(); ++r) {
        sql += r ? ", (" : "(";
        const std::vector<Value>& row = rows[r];
        for (size_t i = 0; i < row.size(); ++i) {
            if (i) sql += ", ";
            MariaStatement::appendLiteral(sql, row[i], i < m_params.size() ? &m_params[i] : nullptr,
                                          *m_backend);
        }
        sql += ')';
    }
    // One statement: the engine stores all of its rows or, when one is refused, none.
    if (!m_backend->command(sql, affected, errors)) return m_backend->failed(errors);
    return true;
}

} // namespace db
