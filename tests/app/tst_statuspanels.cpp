// The status bar of the main window at its design width and at its minimum width, with texts
// longer than their panels.
#include "MainWindowFixture.h"
#include "app/frmKorvel.h"
#include "widgets/Twips.h"

#include <QLabel>
#include <QStatusBar>
#include <QTest>

#include "TestBackends.h"
#include "app/DecimalSum.h"
#include "app/StatusPanels.h"

class TestStatusPanels : public QObject, public MainWindowFixture {
    Q_OBJECT

    StatusPanel* panel(const char* key) {
        return m_window->findChild<StatusPanel*>(QString::fromLatin1(key));
    }

private slots:
    void init() {
        ownSettings();
        QVERIFY(connectTo(QStringLiteral("sqlite"), db::ConnectionKind::Access));
    }
    void cleanup() { closeWindow(); }

    // The sum of the selected cells stays exact where a double drifts.
    void decimalSums_data() {
        QTest::addColumn<QStringList>("terms");
        QTest::addColumn<QString>("sum");
        QTest::addColumn<QString>("average");
        QTest::newRow("tenths") << QStringList{"0.1", "0.2"} << "0.3"
                                << "0.15";
        QTest::newRow("scale kept") << QStringList{"1.50", "2.50"} << "4.00"
                                    << "2";
        QTest::newRow("exponent") << QStringList{"1e-7", "1"} << "1.0000001"
                                  << "0.50000005";
        QTest::newRow("cancels") << QStringList{"-5.5", "5.5"} << "0.0"
                                 << "0";
        QTest::newRow("38 digits") << QStringList{"99999999999999999999999999999999999", "1"}
                                   << "100000000000000000000000000000000000"
                                   << "5E34";
        QTest::newRow("beyond exact") << QStringList{"1E300", "1"} << "1E300"
                                      << "5E299";
        QTest::newRow("overflow") << QStringList{"-99999999999999999999999999999999999999",
                                                 "-99999999999999999999999999999999999999"}
                                  << "-2E38"
                                  << "-1E38";
    }
    void decimalSums() {
        QFETCH(QStringList, terms);
        QFETCH(QString, sum);
        QFETCH(QString, average);
        DecimalSum total;
        for (const QString& t : terms)
            QVERIFY(total.add(t.toStdString()));
        QVERIFY(!total.add("1,5"));
        QVERIFY(!total.add("inf"));
        QCOMPARE(total.text(), sum);
        QCOMPARE(total.dividedBy(terms.size()), average);
    }

    void panelsKeepApart_data() {
        QTest::addColumn<int>("widthTwips");
        QTest::addColumn<QString>("database");
        QTest::addColumn<QString>("user");
        QTest::addColumn<QString>("status");
        QTest::addColumn<bool>("othersCut");
        const QString longName =
            QStringLiteral("販売管理データベース_2024年度_本社_経理部_バックアップ.sqlite3");
        const QString count = QStringLiteral("100000件のデータが処理されました");
        QTest::newRow("design width, short texts") << 11715 << "sales.db"
                                                   << "admin" << count << false;
        QTest::newRow("design width, long texts")
            << 11715 << longName << "administrator_of_the_sales_department" << count << true;
        QTest::newRow("minimum width, short texts") << 7845 << "sales.db"
                                                    << "admin" << count << false;
        QTest::newRow("minimum width, long texts")
            << 7845 << longName << "administrator_of_the_sales_department" << count << true;
    }
    // No panel covers another or leaves the bar; every text shows whole or is cut with "…"
    // and then shows whole in the tool tip; the status panel never vanishes.
    void panelsKeepApart() {
        QFETCH(int, widthTwips);
        QFETCH(QString, database);
        QFETCH(QString, user);
        QFETCH(QString, status);
        QFETCH(bool, othersCut);
        // The window is built for each row, with the row's names.
        m_record.databaseName = database;
        m_record.userId = user;
        QVERIFY(showWindow());
        const int dpi = m_window->logicalDpiX();
        m_window->resize(twipsToPixels(widthTwips, dpi), m_window->height());
        m_window->UpdateStatusBar(status);
        QTest::qWait(0);

        auto* bar = m_window->findChild<QStatusBar*>(QStringLiteral("StatusBar1"));
        QCOMPARE(bar->width(), m_window->centralWidget()->width());
        int previousRight = -1;
        for (const char* key : {"database", "user", "datagrid", "status"}) {
            StatusPanel* p = panel(key);
            QVERIFY2(p->isVisible(), key);
            QVERIFY2(p->x() > previousRight, key);
            QVERIFY2(p->geometry().right() < bar->width(), key);
            previousRight = p->geometry().right();
        }
        QVERIFY(panel("status")->width() >= twipsToPixels(600, dpi));
        QCOMPARE(panel("database")->text(), QStringLiteral("Access: ") + database);
        for (const char* key : {"database", "user", "status"}) {
            StatusPanel* p = panel(key);
            const QString shown = p->shownText();
            if (p->isElided()) {
                QVERIFY2(shown.endsWith(QChar(0x2026)), qPrintable(shown));
                QVERIFY2(p->text().startsWith(shown.chopped(1)), qPrintable(shown));
                QCOMPARE(p->toolTip(), p->text());
            } else {
                QCOMPARE(shown, p->text());
                QVERIFY2(p->fontMetrics().horizontalAdvance(shown) <= p->contentsRect().width(),
                         key);
                QCOMPARE(p->toolTip(), QString());
            }
        }
        // The outcome of the last operation is the text kept whole longest.
        QVERIFY(!panel("status")->isElided());
        QCOMPARE(panel("database")->isElided() || panel("user")->isElided(), othersCut);
        // The texts became shorter: the panels show them whole again.
        m_record.databaseName = QStringLiteral("a.db");
        m_record.userId = QStringLiteral("u");
        m_window->UpdateStatusBar(QStringLiteral("ERROR"));
        for (const char* key : {"database", "user", "status"}) {
            QVERIFY2(!panel(key)->isElided(), key);
            QCOMPARE(panel(key)->toolTip(), QString());
        }
    }

    // Which way the data source went, and why, is in the database panel's tool tip, below
    // the panel's text when that is cut off; a login without a choice has none.
    void databasePanelTellsTheWay_data() {
        QTest::addColumn<QString>("backend");
        QTest::addColumn<QString>("told");
        for (const testdb::Backend& b : testdb::backendsForRows()) {
            if (b.kind == testdb::Kind::PostgresNative)
                QTest::newRow("postgres") << b.name << "(libpq)";
            if (b.kind == testdb::Kind::PostgresOdbc)
                QTest::newRow("postgres-odbc") << b.name << "設定により";
            if (b.kind == testdb::Kind::SqliteNative) QTest::newRow("sqlite") << b.name << "";
        }
    }
    void databasePanelTellsTheWay() {
        QFETCH(QString, backend);
        QFETCH(QString, told);
        closeWindow();
        QVERIFY(connectTo(backend, db::ConnectionKind::Odbc));
        m_record.databaseName = QStringLiteral("x").repeated(200);
        QVERIFY(showWindow());
        m_window->UpdateStatusBar(QString());
        QTest::qWait(0);
        const QString tip = panel("database")->toolTip();
        if (told.isEmpty()) {
            QCOMPARE(tip, panel("database")->text());
        } else {
            QVERIFY2(tip.startsWith(panel("database")->text() + QLatin1Char('\n')),
                     qPrintable(tip));
            QVERIFY2(tip.contains(told), qPrintable(tip));
        }
    }
};

QTEST_MAIN(TestStatusPanels)
#include "tst_statuspanels.moc"
