#include "TableListRetrieval.h"

#include "common/BlankText.h"
#include "db/Catalog.h"
#include "db/IdentifierQuoting.h"
#include "modKorvel.h"

#include <QSet>
#include <algorithm>

namespace {
// The schemas a name without a schema is looked up in, in order; empty where the database
// does not tell, and then every listed table is taken as it comes, unqualified.
QStringList searchPath(db::Connection* connection) {
    if (!connection || connection->dialect().searchPathQuery.isEmpty()) return {};
    db::Recordset rs;
    if (!rs.Open(connection->dialect().searchPathQuery, connection)) return {};
    QStringList schemas;
    for (qint32 r = 0; r < rs.RecordCount(); ++r)
        schemas << rs.text(r, 0);
    return schemas;
}
} // namespace

TableList RetrieveTableList(ProgramState& state, OperationFeedback& feedback) {
    feedback.ShowBusy(QStringLiteral("テーブルリストを取得しています") + QStringLiteral("\r\n") +
                          kPleaseWait,
                      false, false);
    TableList list;
    // The entry keeps its schema even where the name goes without it.
    const auto add = [&](const QString& name, const QString& schema, bool qualified) {
        QString quoted = db::AddTableName(name, state.connection);
        if (qualified)
            quoted = db::AddTableName(schema, state.connection) + QLatin1Char('.') + quoted;
        if (list.items.isEmpty()) list.text = quoted;
        list.items << quoted;
        list.entries.push_back({name, QStringLiteral("TABLE"), schema});
    };
    db::Connection* connection = state.connection.adoConnection.get();
    // The Oracle login reads the tables of its own schema, whatever database answers.
    if (state.connection.kind == db::ConnectionKind::Oracle) {
        db::Recordset rs;
        const int field = rs.Open(QStringLiteral("select * from tab"), connection)
                              ? rs.FieldIndex(QStringLiteral("TNAME"))
                              : -1;
        // An empty schema fails like an error: reading the first row finds none.
        if (field < 0 || rs.RecordCount() == 0) list.failed = true;
        for (qint32 r = 0; !list.failed && r < rs.RecordCount(); ++r)
            add(trimBlanks(rs.text(r, field)), QString(), false);
    } else {
        db::Catalog catalog;
        catalog.setActiveConnection(connection);
        if (!catalog.Refresh()) list.failed = true;
        // Tables of the later schemas of the search path are opened by their full name; those
        // of schemas off the path are not listed.
        const QStringList path = searchPath(connection);
        for (const db::TableEntry& t : catalog.Tables()) {
            if (t.Type != QLatin1String("TABLE")) continue;
            if (path.isEmpty() || t.Schema.isEmpty() || t.Schema == path.front())
                add(t.Name, t.Schema, false);
            else if (path.contains(t.Schema))
                add(t.Name, t.Schema, true);
        }
    }
    feedback.HideBusy();
    return list;
}
