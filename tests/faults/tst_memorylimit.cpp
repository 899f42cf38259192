// A result larger than the memory the program may take fails like any statement: reported,
// the rows read so far let go, the window usable for the next statement. Run in a child
// process whose address space is limited.
#include "TestBackends.h"

#include <QProcess>
#include <QTest>

namespace {
// Rows of about 200 bytes, far more than fit in the room left.
QString hugeResult(testdb::Kind kind) {
    if (testdb::isPostgres(kind))
        return QStringLiteral(
            "select g, repeat('x', 200) as t from generate_series(1, 20000000) g");
    if (testdb::isMariaDb(kind))
        return QStringLiteral("select seq, repeat('x', 200) as t from seq_1_to_20000000");
    return QStringLiteral("select i, printf('%0200d', i) as t from (with recursive r(i) as "
                          "(select 1 union all select i + 1 from r limit 50000000) select i "
                          "from r)");
}
} // namespace

class tst_MemoryLimit : public QObject {
    Q_OBJECT
private slots:
    void resultTooLargeIsAFailure_data() { testdb::addBackendRows(); }
    void resultTooLargeIsAFailure() {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
        QSKIP("a sanitizer reserves more address space than the limit leaves");
#endif
        QFETCH(QString, backend);
        const testdb::Backend b = testdb::backend(backend);
        QProcess helper;
        helper.setProcessChannelMode(QProcess::MergedChannels);
        helper.start(QStringLiteral(FAULT_MEMORY_PROGRAM),
                     {b.connectionString, QStringLiteral("384"), hugeResult(b.kind),
                      b.driverOnly().join(QLatin1Char(';'))});
        QVERIFY(helper.waitForFinished(240000));
        const QString out = QString::fromUtf8(helper.readAll());
        QVERIFY2(helper.exitStatus() == QProcess::NormalExit, qPrintable(out));
        QVERIFY2(helper.exitCode() == 0, qPrintable(out));
        // The failure is reported with its reason: the layer's own, or where the driver's
        // allocation was the one that failed (the SQLite ODBC driver; MariaDB's, which reads
        // the whole result itself), the driver's. The grid keeps the rows it showed.
        switch (b.kind) {
        case testdb::Kind::SqliteOdbc:
            // Its text depends on which of its allocations failed: SQLite's own message, or
            // its "unknown error" with SQLite's code 7 (out of memory).
            QVERIFY2(out.contains(QStringLiteral("VB Error # 7")) &&
                         (out.contains(QStringLiteral("out of memory")) ||
                          out.contains(QStringLiteral("error (7)"))),
                     qPrintable(out));
            break;
        case testdb::Kind::MariaDbOdbc:
            QVERIFY2(out.contains(QStringLiteral("VB Error # 2008")) &&
                         out.contains(QStringLiteral("Client run out of memory")),
                     qPrintable(out));
            break;
        default:
            QVERIFY2(out.contains(QStringLiteral("VB Error # 7")) &&
                         out.contains(QStringLiteral("メモリが足りない")),
                     qPrintable(out));
        }
        QVERIFY2(out.contains(QStringLiteral("first=0 open=1 shown-before=1")), qPrintable(out));
        QVERIFY2(out.contains(QStringLiteral("statuses=") +
                              QStringLiteral("1件のデータが処理されました|ERROR")),
                 qPrintable(out));
        qInfo("%s", qPrintable(out.simplified().left(400)));
    }
};

QTEST_GUILESS_MAIN(tst_MemoryLimit)
#include "tst_memorylimit.moc"
