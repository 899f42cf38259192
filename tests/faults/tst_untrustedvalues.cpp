// Cell values from untrusted sources: bytes that are not UTF-8, a 10 MB text and binary
// data are shown, edited around and exported without a crash, and what the user did not
// change keeps its exact bytes; binary data survives an export and an import unchanged.
#include "OutputWindow.h"
#include "TransferFixture.h"
#include "app/RecordsetModel.h"
#include "app/ResultGrid.h"
#include "transfer/ExcelExport.h"
#include "transfer/HtmlExport.h"
#include "transfer/TableTransfer.h"
#include "transfer/TransferTexts.h"
#include "transfer/modExport.h"
#include "transfer/modImport.h"

#include <QApplication>
#include <QFileInfo>
#include <QLineEdit>
#include <QTest>
#include <sqlite3.h>

namespace {
constexpr int kBigChars = 10 * 1024 * 1024;

QByteArray allBytes() {
    QByteArray b;
    for (int i = 0; i < 256; ++i)
        b += char(i);
    return b;
}
} // namespace

class tst_UntrustedValues : public QObject {
    Q_OBJECT

    // Hex of a cell as SQLite stores it.
    QString storedHex(TransferFixture& f, const QString& sql) {
        const QStringList r = f.rows(sql);
        return r.value(0);
    }

private slots:
    void valuesInTheGridAndOutputs_data() {
        QTest::addColumn<QString>("backend");
        QTest::newRow("sqlite") << QStringLiteral("sqlite");
        QTest::newRow("postgres-odbc") << QStringLiteral("postgres-odbc");
        QTest::newRow("mariadb-odbc") << QStringLiteral("mariadb-odbc");
    }
    void valuesInTheGridAndOutputs() {
        QFETCH(QString, backend);
        TESTDB_NEED_SERVERS(!testdb::backend(backend).name.isEmpty());
        TransferFixture f;
        QVERIFY(f.open(backend));
        const bool sqlite = f.kind == testdb::Kind::SqliteNative;
        const bool pg = testdb::isPostgres(f.kind);
        // MariaDB's TEXT holds 64 KB: the big text needs LONGTEXT there.
        const QString textType =
            testdb::isMariaDb(f.kind) ? QStringLiteral("longtext") : QStringLiteral("text");
        f.dropTable(QStringLiteral("odd"));
        QVERIFY(f.exec(QStringLiteral("create table odd (id integer primary key, note "
                                      "varchar(20), big %2, bad text, bin %1)")
                           .arg(testdb::blobType(f.kind), textType)));
        // The big text and the bytes go in as parameters, exactly.
        const QString big = QString(kBigChars / 4, QChar(u'表')) + QStringLiteral("end");
        {
            db::ColumnInfo textColumn, blobColumn;
            textColumn.storage = db::Storage::Text;
            blobColumn.storage = db::Storage::Blob;
            db::ErrorList errors;
            auto insert = f.connection().prepare(
                QStringLiteral("insert into odd (id, note, big, bin) values (?, ?, ?, ?)"),
                {&textColumn, &textColumn, &textColumn, &blobColumn}, errors);
            QVERIFY2(insert, qPrintable(testdb::describe(errors)));
            qint64 affected = 0;
            QVERIFY2(insert->execute({db::Value(QStringLiteral("1")),
                                      db::Value(QStringLiteral("n")), db::Value(big),
                                      db::Value(QString::fromLatin1(allBytes().toHex()))},
                                     affected, errors),
                     qPrintable(testdb::describe(errors)));
        }
        if (sqlite)
            QVERIFY(
                f.exec(QStringLiteral("update odd set bad = cast(x'41ff42c328e6972a' as text)")));
        const QString binHex =
            storedHex(f, !pg ? QStringLiteral("select hex(bin) from odd")
                             : QStringLiteral("select upper(encode(bin, 'hex')) from odd"));
        QCOMPARE(binHex, QString::fromLatin1(allBytes().toHex().toUpper()));

        // Shown in the grid: painted without a crash.
        QVERIFY(f.show(QStringLiteral("select * from odd")));
        ResultGrid grid;
        auto* model = new RecordsetModel(&grid);
        grid.setModel(model);
        model->setRecordset(f.state->resultSet);
        grid.resize(800, 300);
        grid.show();
        QApplication::setActiveWindow(&grid);
        QVERIFY(QTest::qWaitForWindowActive(&grid));
        QVERIFY(!grid.grab().isNull());
        QCOMPARE(model->data(model->index(0, 2), Qt::EditRole).toString(), big);
        QCOMPARE(model->data(model->index(0, 4)).toString(),
                 QString::fromLatin1(allBytes().toHex().toUpper()));
        // Bytes, and a text longer than the cell editor holds, are not edited in the grid:
        // an editor would cut or re-encode them.
        QVERIFY(!(model->flags(model->index(0, 4)) & Qt::ItemIsEditable));
        QVERIFY(!(model->flags(model->index(0, 2)) & Qt::ItemIsEditable));

        // Editing another cell of the row leaves every other value's bytes as they were.
        grid.setFocus();
        grid.setCurrentIndex(model->index(0, 1));
        grid.edit(grid.currentIndex());
        auto* editor = qobject_cast<QLineEdit*>(QApplication::focusWidget());
        QVERIFY(editor);
        editor->setText(QStringLiteral("changed"));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QTRY_COMPARE(QApplication::focusWidget(), &grid);
        QCOMPARE(f.rows(QStringLiteral("select note from odd")), QStringList{"changed"});
        if (sqlite) {
            QCOMPARE(storedHex(f, QStringLiteral("select hex(bad) from odd")),
                     QStringLiteral("41FF42C328E6972A"));
            QCOMPARE(f.rows(QStringLiteral("select length(big) from odd")),
                     QStringList{QString::number(big.size())});
        }
        QCOMPARE(storedHex(f, !pg ? QStringLiteral("select hex(bin) from odd")
                                  : QStringLiteral("select upper(encode(bin, 'hex')) from odd")),
                 binHex);
        // The text that is not UTF-8 can be replaced by a new text.
        if (sqlite) {
            QVERIFY(model->setData(model->index(0, 3), QStringLiteral("fixed")));
            QCOMPARE(f.rows(QStringLiteral("select bad from odd")), QStringList{"fixed"});
            QVERIFY(
                f.exec(QStringLiteral("update odd set bad = cast(x'41ff42c328e6972a' as text)")));
            QVERIFY(f.show(QStringLiteral("select * from odd")));
        }

        // Exported as CSV: the texts as stored, the bytes as hex; imported back, the binary
        // column and the big text are unchanged.
        RecordingWindow window;
        const QString csv = f.path(QStringLiteral("odd.csv"));
        window.dialogPaths << csv;
        ExportText(f.result(), &f.connection(), window, kComma);
        QVERIFY2(window.prompts.isEmpty(), qPrintable(window.prompts.join('\n')));
        const QByteArray file = fileBytes(csv);
        QVERIFY(file.contains(allBytes().toHex().toUpper()));
        QVERIFY(file.contains(big.toUtf8()));
        if (sqlite) QVERIFY(file.contains(QByteArray::fromHex("41ff42c328e6972a")));

        f.dropTable(QStringLiteral("odd2"));
        QVERIFY(f.exec(QStringLiteral("create table odd2 (id integer primary key, note "
                                      "varchar(20), big %2, bad text, bin %1)")
                           .arg(testdb::blobType(f.kind), textType)));
        // Without the text that is not UTF-8 the file reads as UTF-8.
        if (sqlite) QVERIFY(f.exec(QStringLiteral("update odd set bad = null")));
        qint32 rows = 0;
        QString error;
        QVERIFY2(ExportTableText(f.connection(), kComma, QStringLiteral("odd"), csv, rows, error),
                 qPrintable(error));
        QVERIFY2(ImportTableText(f.connection(), kComma, QStringLiteral("odd2"), csv, rows, error),
                 qPrintable(error));
        QCOMPARE(rows, 1);
        QCOMPARE(storedHex(f, !pg ? QStringLiteral("select hex(bin) from odd2")
                                  : QStringLiteral("select upper(encode(bin, 'hex')) from odd2")),
                 binHex);
        QCOMPARE(f.rows(QStringLiteral("select count(*) from odd2 where big = (select big from "
                                       "odd)")),
                 QStringList{"1"});
        if (sqlite)
            QVERIFY(
                f.exec(QStringLiteral("update odd set bad = cast(x'41ff42c328e6972a' as text)")));

        // The HTML and Excel outputs take them too.
        QVERIFY(f.show(QStringLiteral("select * from odd")));
        OutputWindow out;
        const QString page =
            ExportHtml(f.result(), &f.connection(), out, {f.path(QString()) + QLatin1Char('/')});
        QVERIFY2(!page.isEmpty(), qPrintable(out.prompts.join('\n')));
        QVERIFY(fileBytes(page).contains(big.toUtf8()));
        OutputWindow excel;
        const QString book =
            ExportExcel(f.result(), &f.connection(), excel, f.path(QString()) + QLatin1Char('/'));
        // A cell holds at most 32767 characters: the big text is refused with the report.
        // Either way there is one outcome: a workbook, or a report and no workbook.
        QVERIFY2(
            book.isEmpty() != excel.prompts.isEmpty(),
            qPrintable(
                QStringLiteral("workbook \"%1\", %2 reports").arg(book).arg(excel.prompts.size())));
        if (excel.prompts.isEmpty())
            QVERIFY2(QFileInfo(book).isFile(), qPrintable(book));
        else
            QVERIFY2(excel.prompts[0].startsWith(QStringLiteral("   VB Error # ")),
                     qPrintable(excel.prompts[0]));
        qInfo("excel with a 10 MB cell: %s",
              excel.prompts.isEmpty() ? "written"
                                      : qPrintable(excel.prompts[0].split("\r\n").last()));
        f.dropTable(QStringLiteral("odd"));
        f.dropTable(QStringLiteral("odd2"));
    }
};

QTEST_MAIN(tst_UntrustedValues)
#include "tst_untrustedvalues.moc"
