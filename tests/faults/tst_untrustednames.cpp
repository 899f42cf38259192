// Table and column names holding "]", quotes, ";", blanks and Japanese text, on every
// backend: the table list, the type panel, sorting, editing, export, import and the batch
// window work with them, and no name changes the statement it is put into.
#include "MainWindowFixture.h"
#include "QueryWait.h"
#include "RecordingBatchFeedback.h"
#include "RecordingWindow.h"
#include "TestBackends.h"
#include "app/GridTypeTable.h"
#include "app/frmKorvel.h"
#include "batch/BatchRunners.h"
#include "batch/ExportAll.h"
#include "db/SqlText.h"
#include "query/modExecuteQuery.h"
#include "transfer/TransferTexts.h"
#include "transfer/modExport.h"
#include "transfer/modImport.h"

#include <QComboBox>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>

namespace {
const QString kTable = QStringLiteral("x] \"y\" 'z'; 表 w");
// Unquoted, the name would end the statement and start another.
const QString kInjecting = QStringLiteral("t;delete from canary");
const QStringList kColumns{QStringLiteral("id"),   QStringLiteral("c]1"), QStringLiteral("c\"2"),
                           QStringLiteral("c'3;"), QStringLiteral("c 5"), QStringLiteral("列6")};

} // namespace

class tst_UntrustedNames : public QObject, public MainWindowFixture {
    Q_OBJECT

    db::Connection& connection() { return *m_record.adoConnection; }
    // In the database's own quotes: backticks for MariaDB, double quotes elsewhere.
    QString dq(const QString& name) {
        return db::quoteIdentifier(name, connection().identifierQuote());
    }
    QStringList cells(const QString& sql) {
        db::Recordset rs;
        if (!rs.Open(sql, &connection())) {
            QTest::qFail(qPrintable(sql + QStringLiteral(": ") + testdb::describe(rs.Errors())),
                         __FILE__, __LINE__);
            return {};
        }
        QStringList out;
        for (qint32 r = 0; r < rs.RecordCount(); ++r) {
            QStringList row;
            for (int c = 0; c < rs.FieldCount(); ++c)
                row << (rs.isNull(r, c) ? QStringLiteral("<null>") : rs.text(r, c));
            out << row.join(QLatin1Char('|'));
        }
        return out;
    }
    QString entryFor(const QString& name) {
        for (int i = 0; i < tables()->count(); ++i)
            if (db::unquoteIdentifier(tables()->itemText(i)) == name) return tables()->itemText(i);
        return QString();
    }

    bool setUp(const QString& backend) {
        ownSettings();
        if (!connectTo(backend, testdb::backend(backend).kind == testdb::Kind::SqliteNative
                                    ? db::ConnectionKind::Access
                                    : db::ConnectionKind::Odbc))
            return false;
        for (const QString& t : {kTable, kInjecting, QStringLiteral("canary")})
            connection().Execute(QStringLiteral("DROP TABLE IF EXISTS ") + dq(t));
        QStringList defs{dq(kColumns[0]) + QStringLiteral(" INTEGER PRIMARY KEY")};
        for (int i = 1; i < kColumns.size(); ++i)
            defs << dq(kColumns[i]) +
                        (i == 4 ? QStringLiteral(" INTEGER") : QStringLiteral(" VARCHAR(20)"));
        if (!testdb::exec(connection(), QStringLiteral("CREATE TABLE %1 (%2)")
                                            .arg(dq(kTable), defs.join(QStringLiteral(", ")))) ||
            !testdb::exec(connection(),
                          QStringLiteral("INSERT INTO %1 VALUES (1, 'a]', 'b\"', 'c''', 30, "
                                         "'日本'), (2, 'd', 'e', 'f', 10, 'g')")
                              .arg(dq(kTable))) ||
            !testdb::exec(connection(),
                          QStringLiteral("CREATE TABLE %1 (id INTEGER)").arg(dq(kInjecting))) ||
            !testdb::exec(connection(), QStringLiteral("CREATE TABLE canary (id INTEGER)")) ||
            !testdb::exec(connection(), QStringLiteral("INSERT INTO canary VALUES (1), (2)")))
            return false;
        return showWindow(OtherPrompts::PressOk);
    }

private slots:
    void cleanup() {
        if (m_record.adoConnection && m_record.adoConnection->isOpen())
            for (const QString& t : {kTable, kInjecting, QStringLiteral("canary")})
                connection().Execute(QStringLiteral("DROP TABLE IF EXISTS ") + dq(t));
        closeWindow();
    }

    void names_data() { testdb::addBackendRows(); }
    void names() {
        QFETCH(QString, backend);
        QVERIFY(setUp(backend));

        // The table list: each name comes back whole, in a form the database reads as it.
        m_window->RetrieveTableList();
        const QString entry = entryFor(kTable);
        QCOMPARE(entry, dq(kTable));
        const QString injecting = entryFor(kInjecting);
        QVERIFY2(!injecting.isEmpty() && injecting != kInjecting, qPrintable(injecting));
        tables()->setEditText(injecting);
        m_window->OpenSelectedTable();
        QVERIFY(idle());
        QVERIFY2(m_prompts.isEmpty(), qPrintable(m_prompts.join(QLatin1Char('\n'))));
        QCOMPARE(cells(QStringLiteral("select count(*) from canary")), QStringList{"2"});

        tables()->setEditText(entry);
        m_window->OpenSelectedTable();
        QVERIFY(idle());
        QVERIFY2(m_prompts.isEmpty(), qPrintable(m_prompts.join(QLatin1Char('\n'))));
        QCOMPARE(grid()->model()->rowCount(), 2);
        for (int c = 0; c < kColumns.size(); ++c)
            QCOMPARE(grid()->model()->headerData(c, Qt::Horizontal).toString(), kColumns[c]);

        // The type panel follows the current column.
        grid()->setFocus();
        grid()->setCurrentIndex(grid()->model()->index(0, 2));
        QLabel* panel = m_window->findChild<QLabel*>(QStringLiteral("datagrid"));
        QVERIFY(panel);
        const db::ColumnInfo& info = m_state->resultSet->column(2);
        QCOMPARE(panel->text(),
                 gridTypeText(info.type, info.definedSize, info.precision, info.scale));
        QVERIFY2(panel->text().endsWith(QStringLiteral(" 20")), qPrintable(panel->text()));

        // Two clicks on the header "c 5" sort by it.
        QHeaderView* header = grid()->horizontalHeader();
        emit header->sectionClicked(4);
        emit header->sectionClicked(4);
        QCOMPARE(grid()->model()->index(0, 4).data().toString(), QStringLiteral("10"));
        QCOMPARE(grid()->model()->index(1, 4).data().toString(), QStringLiteral("30"));

        // Edits locate the row by its key and write each odd column.
        const QStringList edited{QString(),
                                 QStringLiteral("]x"),
                                 QStringLiteral("\"q\""),
                                 QStringLiteral("';--"),
                                 QStringLiteral("7"),
                                 QStringLiteral("表")};
        for (int c = 1; c < kColumns.size(); ++c)
            QVERIFY(grid()->model()->setData(grid()->model()->index(0, c), edited[c]));
        QVERIFY2(m_prompts.isEmpty(), qPrintable(m_prompts.join(QLatin1Char('\n'))));
        QCOMPARE(cells(QStringLiteral("select * from %1 order by 1").arg(dq(kTable))),
                 QStringList({"1|a]|b\"|c'|30|日本", "2|]x|\"q\"|';--|7|表"}));

        // Export of the current result and import into it.
        RecordingWindow feedback;
        const QString out = m_dir->filePath(QStringLiteral("names.csv"));
        feedback.dialogPaths << out;
        db::Recordset* result = m_state->resultSet.get();
        ExportText(result, &connection(), feedback, kComma);
        QVERIFY2(feedback.prompts.isEmpty(), qPrintable(feedback.prompts.join('\n')));
        QCOMPARE(QFile(out).size() > 0, true);
        QVERIFY(connection().Execute(QStringLiteral("DELETE FROM %1").arg(dq(kTable))));
        ImportFile(result, &connection(), feedback, out, kComma,
                   [&] { rereadResultAndWait(*m_state, feedback); });
        QVERIFY2(feedback.prompts.isEmpty(), qPrintable(feedback.prompts.join('\n')));
        QCOMPARE(feedback.statuses.last(), QStringLiteral("2") + kRowsHandled);
        QCOMPARE(cells(QStringLiteral("select * from %1 order by 1").arg(dq(kTable))),
                 QStringList({"1|a]|b\"|c'|30|日本", "2|]x|\"q\"|';--|7|表"}));

        // The batch window, with the name as the list shows it.
        RecordingBatchFeedback batch;
        const QString batchFile = m_dir->filePath(QStringLiteral("batch.csv"));
        batch.command = entry + QStringLiteral(", ") + batchFile;
        BatchExportCSV(connection(), batch);
        QCOMPARE(batch.log.size(), 1);
        QVERIFY2(batch.log[0].success, qPrintable(batch.log[0].detail));
        QVERIFY(connection().Execute(QStringLiteral("DELETE FROM %1").arg(dq(kTable))));
        BatchImportCSV(connection(), batch);
        QCOMPARE(batch.log.size(), 2);
        QVERIFY2(batch.log[1].success, qPrintable(batch.log[1].detail));
        QCOMPARE(batch.log[1].subject, entry + QStringLiteral("に2件のデータが追加されました"));
        QCOMPARE(cells(QStringLiteral("select count(*) from %1").arg(dq(kTable))),
                 QStringList{"2"});

        // The export of all tables names its files after the entries.
        RecordingBatchFeedback all;
        all.command = m_dir->path();
        ExportAllCSV(connection(), {entry, injecting}, all);
        QCOMPARE(all.log.size(), 2);
        QVERIFY2(all.log[0].success && all.log[1].success,
                 qPrintable(all.log[0].detail + all.log[1].detail));
        QCOMPARE(cells(QStringLiteral("select count(*) from canary")), QStringList{"2"});
    }
};

QTEST_MAIN(tst_UntrustedNames)
#include "tst_untrustednames.moc"
