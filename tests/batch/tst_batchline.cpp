// The batch-line language and the log entry format, without a window.
#include "batch/BatchLine.h"
#include "batch/BatchLog.h"

#include <QTest>

Q_DECLARE_METATYPE(BatchLineCheck)

class TestBatchLine : public QObject {
    Q_OBJECT

    static QStringList readAll(const QString& text) {
        QStringList lines;
        BatchLineReader reader(text);
        while (!reader.atEnd())
            lines << reader.next().toString();
        return lines;
    }

private slots:
    void linesEndOnlyAtCrLf_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("lines");
        QTest::newRow("one line") << "a, b" << QStringList{"a, b"};
        QTest::newRow("two lines") << "a, b\r\nc, d" << QStringList{"a, b", "c, d"};
        QTest::newRow("trailing CR LF gives an empty last line") << "a\r\n" << QStringList{"a", ""};
        QTest::newRow("lone CR and LF stay") << "a\rb\nc\r\nd" << QStringList{"a\rb\nc", "d"};
        QTest::newRow("LF CR is no line end") << "a\n\rb" << QStringList{"a\n\rb"};
        QTest::newRow("blank lines") << "\r\n  \r\n" << QStringList{"", "  ", ""};
        QTest::newRow("CR CR LF") << "a\r\r\nb" << QStringList{"a\r", "b"};
    }
    void linesEndOnlyAtCrLf() {
        QFETCH(QString, text);
        QFETCH(QStringList, lines);
        QCOMPARE(readAll(text), lines);
    }

    void manyLinesAreAllHandedOut() {
        // Far beyond a 16-bit line index: every line comes out, in order.
        QString text;
        for (int i = 0; i < 40000; ++i)
            text += QStringLiteral("T%1, f%1.csv\r\n").arg(i);
        BatchLineReader reader(text);
        int n = 0;
        while (!reader.atEnd()) {
            const QStringView line = reader.next();
            if (n < 40000) QCOMPARE(line, QStringLiteral("T%1, f%1.csv").arg(n));
            ++n;
        }
        QCOMPARE(n, 40001);
    }

    void checksRunInOrder_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<BatchLineCheck>("check");
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("table");
        QTest::addColumn<QString>("file");
        using C = BatchLineCheck;
        QTest::newRow("empty") << "" << C::Empty << ""
                               << ""
                               << "";
        QTest::newRow("blanks only") << "    " << C::Empty << ""
                                     << ""
                                     << "";
        QTest::newRow("tab is not a blank") << "\t" << C::Malformed << "\t"
                                            << ""
                                            << "";
        QTest::newRow("no comma") << "  Orders /data/orders.csv " << C::Malformed
                                  << "Orders /data/orders.csv"
                                  << ""
                                  << "";
        QTest::newRow("plain") << "Customers, /data/customers.csv" << C::Ok
                               << "Customers, /data/customers.csv"
                               << "Customers"
                               << "/data/customers.csv";
        QTest::newRow("blanks around both names")
            << "   T1   ,   out.csv   " << C::Ok << "T1   ,   out.csv"
            << "T1"
            << "out.csv";
        QTest::newRow("further commas belong to the file") << "T1,a,b.csv" << C::Ok << "T1,a,b.csv"
                                                           << "T1"
                                                           << "a,b.csv";
        QTest::newRow("tabs are kept") << "\tT1\t,\tx.tab" << C::Ok << "\tT1\t,\tx.tab"
                                       << "\tT1\t"
                                       << "\tx.tab";
        QTest::newRow("starts with the comma")
            << ", /data/x.csv" << C::NoTableName << ", /data/x.csv"
            << ""
            << "/data/x.csv";
        QTest::newRow("blank table name") << "   , x.csv" << C::NoTableName << ", x.csv"
                                          << ""
                                          << "x.csv";
        QTest::newRow("ends with the comma") << "T1," << C::NoFileName << "T1,"
                                             << "T1"
                                             << "";
        QTest::newRow("comma only") << " , " << C::NoTableName << ","
                                    << ""
                                    << "";
        QTest::newRow("folder with slash") << "Items, /data/" << C::BadFileName << "Items, /data/"
                                           << "Items"
                                           << "/data/";
        QTest::newRow("folder with backslash")
            << "Items, C:\\data\\" << C::BadFileName << "Items, C:\\data\\"
            << "Items"
            << "C:\\data\\";
        QTest::newRow("drive only") << "Items, C:" << C::BadFileName << "Items, C:"
                                    << "Items"
                                    << "C:";
        QTest::newRow("relative parent path") << "Items, ../x.csv" << C::Ok << "Items, ../x.csv"
                                              << "Items"
                                              << "../x.csv";
        QTest::newRow("quoted table name")
            << "\"sales targets\", st.csv" << C::Ok << "\"sales targets\", st.csv"
            << "\"sales targets\""
            << "st.csv";
        QTest::newRow("full-width blank stays")
            << "\u3000T1, a.csv" << C::BadTableName << "\u3000T1, a.csv"
            << "\u3000T1"
            << "a.csv";
    }
    void checksRunInOrder() {
        QFETCH(QString, text);
        QFETCH(BatchLineCheck, check);
        QFETCH(QString, line);
        QFETCH(QString, table);
        QFETCH(QString, file);
        const BatchLine parsed = ParseBatchLine(text);
        QCOMPARE(parsed.check, check);
        QCOMPARE(parsed.line, line);
        if (check == BatchLineCheck::Malformed || check == BatchLineCheck::Empty) return;
        QCOMPARE(parsed.tableName, table);
        QCOMPARE(parsed.fileName, file);
    }

    void failureDetails() {
        QCOMPARE(BatchLineDetail(BatchLineCheck::Malformed),
                 QStringLiteral("入力形式が不正です。"));
        QCOMPARE(BatchLineDetail(BatchLineCheck::NoTableName),
                 QStringLiteral("テーブル名が入力されていません。"));
        QCOMPARE(BatchLineDetail(BatchLineCheck::NoFileName),
                 QStringLiteral("ファイル名が入力されていません。"));
        QCOMPARE(BatchLineDetail(BatchLineCheck::BadFileName),
                 QStringLiteral("ファイル名が不正です。"));
        QCOMPARE(BatchLineDetail(BatchLineCheck::Ok), QString());
    }

    void logEntries() {
        const QDateTime when(QDate(2024, 3, 5), QTime(7, 8, 9));
        QCOMPARE(BatchLogTimestamp(when), QStringLiteral("2024/03/05 07:08:09"));
        QCOMPARE(BatchLogTimestamp(QDateTime(QDate(2024, 12, 31), QTime(23, 59, 0))),
                 QStringLiteral("2024/12/31 23:59:00"));
        // The detail of a success is ignored; a failure takes three lines.
        QCOMPARE(BatchLogEntry(when, QStringLiteral("a.csvに3件のデータが出力されました"),
                               QStringLiteral("x"), true),
                 QStringLiteral("2024/03/05 07:08:09\r\na.csvに3件のデータが出力されました\r\n"));
        QCOMPARE(BatchLogEntry(when, QStringLiteral("T1"), QStringLiteral("入力形式が不正です。"),
                               false),
                 QStringLiteral(
                     "2024/03/05 "
                     "07:08:09\r\nT1は正常に処理されませんでした。\r\n入力形式が不正です。\r\n"));
    }
};

QTEST_GUILESS_MAIN(TestBatchLine)
#include "tst_batchline.moc"
