#include "TableListRetrieval.h"

#include "Catalog.h"
#include "modKorvel.h"

#include <algorithm>

namespace {
const QString kForcing = QStringLiteral(" -$'\"%&=()?><@{}");

bool acceptsBrackets(const QString& dbms) {
    return dbms.isEmpty() || dbms.contains(QLatin1String("SQL Server"), Qt::CaseInsensitive) ||
           dbms.startsWith(QLatin1String("SQLite"), Qt::CaseInsensitive) ||
           dbms.compare(QLatin1String("ACCESS"), Qt::CaseInsensitive) == 0 ||
           dbms.contains(QLatin1String("Sybase"), Qt::CaseInsensitive) ||
           dbms.contains(QLatin1String("Adaptive Server"), Qt::CaseInsensitive);
}
} // namespace

QString BracketName(const QString& name) { return QLatin1Char('[') + name + QLatin1Char(']'); }

QString AddTableName(const QString& name, const db::ConnectionRecord& connection) {
    if (connection.kind != db::ConnectionKind::Access &&
        std::none_of(name.begin(), name.end(), [](QChar c) { return kForcing.contains(c); }))
        return name;
    const db::Connection* c = connection.adoConnection.get();
    if (connection.kind == db::ConnectionKind::Odbc && c && c->isOpen() && !acceptsBrackets(c->dbmsName())) {
        // PostgreSQL, MySQL and the like reject brackets: use the driver's own quotes.
        const QString quote = c->identifierQuote().trimmed();
        if (quote.isEmpty()) return name;
        return quote + QString(name).replace(quote, quote + quote) + quote;
    }
    return BracketName(name);
}

TableList RetrieveTableList(ProgramState& state, WindowFeedback& feedback) {
    feedback.ShowBusy(QStringLiteral("テーブルリストを取得しています") + QStringLiteral("\r\n") +
                          QStringLiteral("しばらくお待ちください"),
                      false, false);
    TableList list;
    const auto add = [&](const QString& name) {
        const QString quoted = AddTableName(name, state.connection);
        if (list.items.isEmpty()) list.text = quoted;
        list.items << quoted;
    };
    db::Connection* connection = state.connection.adoConnection.get();
    if (state.connection.kind == db::ConnectionKind::Oracle) {
        db::Recordset rs;
        const int field = rs.Open(QStringLiteral("select * from tab"), connection, 3, 3, -1)
                              ? rs.FieldIndex(QStringLiteral("TNAME"))
                              : -1;
        // An empty schema fails like an error: reading the first row finds none.
        if (field < 0 || rs.RecordCount() == 0) list.failed = true;
        for (qint32 r = 0; !list.failed && r < rs.RecordCount(); ++r) add(trimBlanks(rs.text(r, field)));
    } else {
        db::Catalog catalog;
        catalog.setActiveConnection(connection);
        if (!catalog.Refresh()) list.failed = true;
        for (const db::TableEntry& t : catalog.Tables())
            if (t.Type == QLatin1String("TABLE")) add(t.Name);
    }
    feedback.HideBusy();
    return list;
}
