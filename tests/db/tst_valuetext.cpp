// The layer's pure pieces: value texts, decimal ordering, date parsing, connection-string and
// statement parsing, and the compact column storage.
#include "db/ColumnData.h"
#include "db/LoginParams.h"
#include "db/SqlText.h"
#include "db/ValueText.h"

#include <QTest>
#include <cmath>
#include <cstdio>
#include <limits>

using namespace db;

class TestValueText : public QObject {
    Q_OBJECT
private slots:
    void decimalOrder_data() {
        QTest::addColumn<QString>("a");
        QTest::addColumn<QString>("b");
        QTest::addColumn<int>("expected");
        QTest::newRow("trailing zeros") << "1.50"
                                        << "1.5" << 0;
        QTest::newRow("leading zeros") << "007"
                                       << "7" << 0;
        QTest::newRow("negative below positive") << "-2"
                                                 << "1" << -1;
        QTest::newRow("longer integer part") << "10"
                                             << "9" << 1;
        QTest::newRow("negatives reversed") << "-10"
                                            << "-9" << -1;
        QTest::newRow("fractions") << "0.001"
                                   << "0.01" << -1;
        QTest::newRow("minus zero") << "-0.00"
                                    << "0" << 0;
        QTest::newRow("large") << "12345678901234567890.5"
                               << "12345678901234567890.49" << 1;
        QTest::newRow("not numbers fall back to bytes") << "abc"
                                                        << "abd" << -1;
    }
    void decimalOrder() {
        QFETCH(QString, a);
        QFETCH(QString, b);
        QFETCH(int, expected);
        QCOMPARE(compareDecimalText(a.toStdString(), b.toStdString()), expected);
        QCOMPARE(compareDecimalText(b.toStdString(), a.toStdString()), -expected);
    }

    void realTexts_data() {
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("text");
        QTest::newRow("tenth") << 0.1 << "0.1";
        QTest::newRow("decimal") << 1234.5 << "1234.5";
        QTest::newRow("whole") << 100.0 << "100";
        QTest::newRow("negative zero") << -0.0 << "-0";
        QTest::newRow("infinity") << std::numeric_limits<double>::infinity() << "Infinity";
        QTest::newRow("minus infinity") << -std::numeric_limits<double>::infinity() << "-Infinity";
        QTest::newRow("negative") << -12.25 << "-12.25";
        QTest::newRow("third") << 1.0 / 3 << "0.3333333333333333";
        QTest::newRow("huge") << 1e20 << "1e+20";
        QTest::newRow("tiny") << 1e-7 << "1e-07";
    }
    void realTexts() {
        QFETCH(double, value);
        QFETCH(QString, text);
        QCOMPARE(realText(value), text);
        // The text reads back as the same number, the sign of zero included.
        const std::optional<double> back = parseReal(text);
        QVERIFY(back);
        QCOMPARE(*back, value);
        QCOMPARE(std::signbit(*back), std::signbit(value));
    }

    // A 4-byte float is written as the shortest text that reads back as the same float, not as
    // the double it is held in (1.1f is 1.100000023841858 as a double).
    void singleTexts_data() {
        QTest::addColumn<float>("value");
        QTest::addColumn<QString>("text");
        QTest::newRow("1.1") << 1.1f << "1.1";
        QTest::newRow("tenth") << 0.1f << "0.1";
        QTest::newRow("largest") << std::numeric_limits<float>::max() << "3.4028235e+38";
        QTest::newRow("smallest") << std::numeric_limits<float>::denorm_min() << "1e-45";
        QTest::newRow("2^24") << 16777216.0f << "16777216";
        QTest::newRow("negative zero") << -0.0f << "-0";
        QTest::newRow("third") << 1.0f / 3 << "0.33333334";
    }
    void singleTexts() {
        QFETCH(float, value);
        QFETCH(QString, text);
        QCOMPARE(realText(double(value), true), text);
        QCOMPARE(float(parseReal(text).value_or(0)), value);
        // The grid and the exports read the same text from a column of such floats.
        ColumnData column(Storage::Real, IntForm::Number, false, true);
        column.appendReal(double(value));
        QCOMPARE(column.text(0), text);
        QString into;
        column.textInto(0, into);
        QCOMPARE(into, text);
    }

    void intTexts() {
        QCOMPARE(intText(-42, IntForm::Number), QStringLiteral("-42"));
        QCOMPARE(intText(1, IntForm::Bool), QStringLiteral("True"));
        QCOMPARE(intText(0, IntForm::Bool), QStringLiteral("False"));
        QCOMPARE(intText(packDate(2024, 1, 5), IntForm::Date), QStringLiteral("2024/01/05"));
        QCOMPARE(intText(packTime(9, 5, 7), IntForm::Time), QStringLiteral("09:05:07"));
        QCOMPARE(intText(packTimestamp(2024, 12, 31, 23, 59, 58), IntForm::Timestamp),
                 QStringLiteral("2024/12/31 23:59:58"));
        QCOMPARE(intText(packTimestamp(2024, 3, 1, 0, 0, 0), IntForm::Timestamp),
                 QStringLiteral("2024/03/01"));
    }

    void packedParsing_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("form");
        QTest::addColumn<qlonglong>("expected"); // -1: not accepted
        QTest::newRow("slashes") << "2024/01/15" << int(IntForm::Date) << qlonglong(20240115);
        QTest::newRow("dashes") << "2024-1-5" << int(IntForm::Date) << qlonglong(20240105);
        QTest::newRow("date at midnight")
            << "2024-01-15 00:00:00" << int(IntForm::Date) << qlonglong(20240115);
        QTest::newRow("date with a time")
            << "2024-01-15 10:00:00" << int(IntForm::Date) << qlonglong(-1);
        QTest::newRow("month 13") << "2024-13-01" << int(IntForm::Date) << qlonglong(-1);
        QTest::newRow("timestamp")
            << "2024/01/15 10:30:05" << int(IntForm::Timestamp) << qlonglong(20240115103005);
        QTest::newRow("timestamp fraction")
            << "2024-01-15T10:30:05.125" << int(IntForm::Timestamp) << qlonglong(20240115103005);
        QTest::newRow("timestamp date only")
            << "2024-01-15" << int(IntForm::Timestamp) << qlonglong(20240115000000);
        QTest::newRow("time") << "7:08:09" << int(IntForm::Time) << qlonglong(70809);
        QTest::newRow("words") << "yesterday" << int(IntForm::Timestamp) << qlonglong(-1);
        QTest::newRow("bool word") << "TRUE" << int(IntForm::Bool) << qlonglong(1);
        QTest::newRow("bool number") << "-3" << int(IntForm::Bool) << qlonglong(1);
        QTest::newRow("number") << " 12 " << int(IntForm::Number) << qlonglong(12);
        QTest::newRow("not a number") << "12a" << int(IntForm::Number) << qlonglong(-1);
        QTest::newRow("plus sign") << "+7" << int(IntForm::Number) << qlonglong(7);
        QTest::newRow("two signs") << "+-7" << int(IntForm::Number) << qlonglong(-1);
        QTest::newRow("full-width digits") << "１２" << int(IntForm::Number) << qlonglong(-1);
        QTest::newRow("too large")
            << "99999999999999999999" << int(IntForm::Number) << qlonglong(-1);
    }
    void packedParsing() {
        QFETCH(QString, text);
        QFETCH(int, form);
        QFETCH(qlonglong, expected);
        const auto v = parsePacked(text, IntForm(form));
        QCOMPARE(v.has_value() ? qlonglong(*v) : -1LL, expected);
    }

    void realParsing() {
        QCOMPARE(parseReal(QStringLiteral(" 1234.50 ")).value_or(-1), 1234.5);
        QCOMPARE(parseReal(QStringLiteral("-1e3")).value_or(0), -1000.0);
        QCOMPARE(parseReal(QStringLiteral("+.5")).value_or(0), 0.5);
        QVERIFY(!parseReal(QStringLiteral("nan")));
        QVERIFY(!parseReal(QStringLiteral("inf")));
        // The texts the layer writes for them read back.
        QCOMPARE(parseReal(QStringLiteral("Infinity")).value_or(0),
                 std::numeric_limits<double>::infinity());
        QCOMPARE(parseReal(QStringLiteral("-Infinity")).value_or(0),
                 -std::numeric_limits<double>::infinity());
        QVERIFY(std::isnan(parseReal(QStringLiteral("NaN")).value_or(0)));
        QVERIFY(std::signbit(parseReal(QStringLiteral("-0")).value_or(1)));
        QVERIFY(!parseReal(QStringLiteral("1,5")));
        QVERIFY(!parseReal(QString()));
    }

    void connectionStrings() {
        LoginParams p =
            parseConnectionString(QStringLiteral("Provider=MSDASQL.1;Password=;Persist Security "
                                                 "Info=True;User ID=sa;Data Source=DBSRV"));
        QCOMPARE(p.provider, QStringLiteral("MSDASQL.1"));
        QCOMPARE(p.password, QString());
        QCOMPARE(p.userId, QStringLiteral("sa"));
        QCOMPARE(p.dataSource, QStringLiteral("DBSRV"));
        QCOMPARE(p.option(QStringLiteral("Persist Security Info")), QStringLiteral("True"));
        QVERIFY(!p.options.count(QStringLiteral("password")));

        p = parseConnectionString(
            QStringLiteral("provider=Microsoft.Jet.OLEDB.4.0; PASSWORD={a;b=}}c}; user "
                           "id=\"x;y\";DATA SOURCE=/tmp/a b.db"));
        QCOMPARE(p.provider, QStringLiteral("Microsoft.Jet.OLEDB.4.0"));
        QCOMPARE(p.password, QStringLiteral("a;b=}c"));
        QCOMPARE(p.userId, QStringLiteral("x;y"));
        QCOMPARE(p.dataSource, QStringLiteral("/tmp/a b.db"));
        p = parseConnectionString(QStringLiteral("Host=db1;Port='5433';Options={-c x=1;y}"));
        QCOMPARE(p.option(QStringLiteral("host")), QStringLiteral("db1"));
        QCOMPARE(p.option(QStringLiteral("PORT")), QStringLiteral("5433"));
        QCOMPARE(p.option(QStringLiteral("options")), QStringLiteral("-c x=1;y"));
        QVERIFY(p.dataSource.isEmpty() && p.option(QStringLiteral("database")).isEmpty());

        QCOMPARE(braceQuote(QStringLiteral("a}b;")), QStringLiteral("{a}}b;}"));
        // Braces only where a value needs them: MDBTools keeps them as part of a path.
        const QList<std::pair<QString, QString>> values{
            {QStringLiteral("/data/売上 2024 (copy).mdb"),
             QStringLiteral("/data/売上 2024 (copy).mdb")},
            {QStringLiteral("pa=ss"), QStringLiteral("pa=ss")},
            {QStringLiteral("a;b"), QStringLiteral("{a;b}")},
            {QStringLiteral("{x"), QStringLiteral("{{x}")},
            {QStringLiteral("x}"), QStringLiteral("{x}}}")},
            {QStringLiteral(" lead"), QStringLiteral("{ lead}")},
            {QString(), QString()},
        };
        for (const auto& [value, sent] : values)
            QCOMPARE(connectionValue(value), sent);
    }

    void tableOfSelect_data() {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<QString>("table");
        QTest::newRow("plain") << "select * from t"
                               << "t";
        QTest::newRow("brackets and where") << "SELECT a FROM [Order Details] WHERE x = 1"
                                            << "[Order Details]";
        QTest::newRow("quoted and order") << "select * from \"my tab\" order by 1"
                                          << "\"my tab\"";
        QTest::newRow("schema") << "select * from sales.orders o"
                                << "sales.orders";
        QTest::newRow("subquery skipped") << "select (select max(x) from inner_t) from outer_t"
                                          << "outer_t";
        QTest::newRow("string skipped") << "select 'from z' from w"
                                        << "w";
        QTest::newRow("comment skipped") << "-- from c\nselect * from d"
                                         << "d";
        QTest::newRow("line breaks") << "select *\r\nfrom\r\n  orders\r\nwhere 1 = 2"
                                     << "orders";
        QTest::newRow("word containing from") << "select fromage from cheese"
                                              << "cheese";
        QTest::newRow("none") << "select 1"
                              << "";
    }
    void tableOfSelect() {
        QFETCH(QString, sql);
        QFETCH(QString, table);
        QCOMPARE(db::tableOfSelect(sql), table);
    }

    void identifiers() {
        QCOMPARE(unquoteIdentifier(QStringLiteral("[Order Details]")),
                 QStringLiteral("Order Details"));
        QCOMPARE(unquoteIdentifier(QStringLiteral("\"a\"\"b\"")), QStringLiteral("a\"b"));
        QCOMPARE(unquoteIdentifier(QStringLiteral("sales.\"my.tab\"")), QStringLiteral("my.tab"));
        QCOMPARE(unquoteIdentifier(QStringLiteral("plain")), QStringLiteral("plain"));
        QCOMPARE(quoteIdentifier(QStringLiteral("a\"b"), QStringLiteral("\"")),
                 QStringLiteral("\"a\"\"b\""));
    }

    void unicodeConversions() {
        const QString samples[] = {QStringLiteral("abc"), QStringLiteral("山田　太郎"),
                                   QString::fromUtf8("\xF0\xA0\xAE\xB7野家"), QString()};
        for (const QString& s : samples) {
            std::string utf8;
            appendUtf16AsUtf8(utf8, reinterpret_cast<const char16_t*>(s.utf16()), size_t(s.size()));
            QCOMPARE(QByteArray::fromStdString(utf8), s.toUtf8());
            QString back = QStringLiteral("previous contents are replaced");
            utf8Into(utf8, back);
            QCOMPARE(back, s);
        }
        // Bytes that are not UTF-8 come back as the same bytes: each is kept as one lone
        // surrogate, which valid UTF-8 never decodes to.
        const std::string badBytes[] = {
            std::string("a\xFF"
                        "b\xE3\x81",
                        5),
            std::string("\xED\xA0\x80\xC0\xAF\xF4\x90\x80\x80\x82\xA0\xE3\x81\x82")};
        const QString expected[] = {QString::fromUtf16(u"a\xDCFF"
                                                       u"b\xDCE3\xDC81"),
                                    QString::fromUtf16(u"\xDCED\xDCA0\xDC80\xDCC0\xDCAF\xDCF4"
                                                       u"\xDC90\xDC80\xDC80\xDC82\xDCA0あ")};
        for (size_t k = 0; k < 2; ++k) {
            QString bad;
            utf8Into(badBytes[k], bad);
            QCOMPARE(bad, expected[k]);
            std::string again;
            appendUtf16AsUtf8(again, reinterpret_cast<const char16_t*>(bad.utf16()),
                              size_t(bad.size()));
            QCOMPARE(QByteArray::fromStdString(again), QByteArray::fromStdString(badBytes[k]));
        }
        // A value made from a file's bytes reads as the same text, kept bytes included.
        for (size_t k = 0; k < 2; ++k) {
            const Value v = Value::fromUtf8(badBytes[k]);
            QVERIFY(!v.isNull() && v.hasUtf8());
            QCOMPARE(v.text(), expected[k]);
            QVERIFY(v == Value(expected[k]));
            QCOMPARE(QByteArray::fromStdString(std::string(v.utf8())),
                     QByteArray::fromStdString(badBytes[k]));
        }
        QVERIFY(Value::fromUtf8("") == Value(QString()));
        QVERIFY(!(Value::fromUtf8("") == Value::null()));
        QVERIFY(!(Value::fromUtf8("山田") == Value::fromUtf8("山")));

        // Other unpaired surrogates cannot be written as UTF-8 at all.
        const char16_t lone[] = {u'x', 0xD800, u'y', 0xDC10};
        std::string out;
        appendUtf16AsUtf8(out, lone, 4);
        QCOMPARE(QByteArray::fromStdString(out), QByteArray("x\xEF\xBF\xBDy\xEF\xBF\xBD"));
    }

    // Blocks appended as they arrive read like one column fed cell by cell: across segment
    // borders, with nulls, bytes in a text column, integers that outgrow 32 bits, and a block
    // whose values turned it into text.
    void columnBlocks_data() {
        QTest::addColumn<int>("kind");
        QTest::newRow("integers") << 0;
        QTest::newRow("texts and bytes") << 1;
        QTest::newRow("a block turns text") << 2;
    }
    void columnBlocks() {
        QFETCH(int, kind);
        const Storage storage = kind == 1 ? Storage::Text : Storage::Int;
        const auto feed = [&](ColumnData& c, size_t i) {
            if (i % 7 == 0) return c.appendNull();
            if (kind == 1 && i % 11 == 0) return c.appendBlobInText("\x01\xff");
            if (kind == 1) return c.appendBytes(std::to_string(i));
            // Cells as text values, which fit whatever storage the column has by then.
            if (kind == 2)
                return c.append(Value(i == 150001 ? QStringLiteral("text") : QString::number(i)));
            c.appendInt(i == 100001 ? (qint64(1) << 40) : qint64(i) * 3);
        };
        const size_t rows = 200000;
        ColumnData reference(storage, IntForm::Number, false);
        for (size_t i = 0; i < rows; ++i)
            feed(reference, i);

        ColumnData blocks(storage, IntForm::Number, false);
        const size_t sizes[] = {1, 255, 70000, 3, 65533, 64, 4096};
        size_t next = 0;
        for (size_t k = 0; next < rows; ++k) {
            ColumnData block(storage, IntForm::Number, false);
            const size_t end = std::min(rows, next + sizes[k % std::size(sizes)]);
            for (; next < end; ++next)
                feed(block, next);
            blocks.appendColumn(block);
            QCOMPARE(block.size(), size_t(0));
        }
        QCOMPARE(blocks.size(), rows);
        QCOMPARE(blocks.storage(), reference.storage());
        for (size_t i = 0; i < rows; ++i) {
            if (blocks.isNull(i) != reference.isNull(i) ||
                blocks.isBinary(i) != reference.isBinary(i) || blocks.text(i) != reference.text(i))
                QFAIL(qPrintable(QStringLiteral("row %1: %2 / %3")
                                     .arg(i)
                                     .arg(blocks.text(i), reference.text(i))));
        }
        if (kind == 0) QCOMPARE(blocks.text(100001), QStringLiteral("1099511627776"));
        if (kind == 2) QCOMPARE(blocks.text(150001), QStringLiteral("text"));
        QVERIFY(blocks.compare(100001, 100002) != 0);
    }

    // A block cleared for the next one keeps its memory and nothing else: each refill reads
    // like a fresh column, after nulls, bytes, wide integers, a turn to text, an edit and
    // more than a segment of rows.
    void columnReused_data() { columnBlocks_data(); }
    void columnReused() {
        QFETCH(int, kind);
        const Storage storage = kind == 1 ? Storage::Text : Storage::Int;
        const auto feed = [&](ColumnData& c, size_t i, size_t round) {
            if ((i + round) % 7 == 0) return c.appendNull();
            if (kind == 1 && (i + round) % 11 == 0) return c.appendBlobInText("\x01\xff");
            if (kind == 1) return c.appendBytes(std::string(round % 3 ? 4 : 1 + i % 5, 'a'));
            if (kind == 2)
                return c.append(Value(i == 3 && round == 1 ? QStringLiteral("text")
                                                           : QString::number(i + round)));
            c.appendInt(i == 5 && round == 2 ? (qint64(1) << 40) : qint64(i + round));
        };
        ColumnData reused(storage, IntForm::Number, false);
        const size_t sizes[] = {4096, 70000, 10, 4096, 1};
        for (size_t round = 0; round < std::size(sizes); ++round) {
            reused.clearKeepingMemory(storage);
            ColumnData fresh(storage, IntForm::Number, false);
            for (size_t i = 0; i < sizes[round]; ++i) {
                feed(reused, i, round);
                feed(fresh, i, round);
            }
            if (round == 3) {
                reused.set(2, Value(QStringLiteral("edited")));
                fresh.set(2, Value(QStringLiteral("edited")));
            }
            QCOMPARE(reused.size(), sizes[round]);
            QCOMPARE(reused.storage(), fresh.storage());
            for (size_t i = 0; i < sizes[round]; ++i) {
                if (reused.isNull(i) != fresh.isNull(i) ||
                    reused.isBinary(i) != fresh.isBinary(i) || reused.text(i) != fresh.text(i))
                    QFAIL(qPrintable(QStringLiteral("round %1, row %2: %3 / %4")
                                         .arg(round)
                                         .arg(i)
                                         .arg(reused.text(i), fresh.text(i))));
            }
        }
    }

    // Text cells of one length keep no offsets until a cell of another length comes: the
    // change may fall in any segment, in a block handed over or cell by cell, and a squeezed
    // column still takes longer edits and more rows.
    void fixedWidthText_data() {
        QTest::addColumn<int>("changeAt");
        QTest::newRow("never") << -1;
        QTest::newRow("second cell") << 1;
        QTest::newRow("last row of the first segment") << 65535;
        QTest::newRow("first row of the second segment") << 65536;
        QTest::newRow("inside a block across the border") << 65540;
        QTest::newRow("a null") << -2;
    }
    void fixedWidthText() {
        QFETCH(int, changeAt);
        const size_t rows = 140000;
        std::vector<std::string> expected(rows);
        for (size_t i = 0; i < rows; ++i) {
            char buf[16];
            std::snprintf(buf, sizeof buf, "%08zu", i * 7919 % 100000000);
            expected[i] = buf;
        }
        if (changeAt >= 0) expected[size_t(changeAt)] = "longer text";
        if (changeAt == -2) expected[70000].clear();
        const auto feed = [&](ColumnData& c, size_t i) {
            if (changeAt == -2 && i == 70000) return c.appendNull();
            c.appendBytes(expected[i]);
        };
        ColumnData single(Storage::Text, IntForm::Number, false);
        ColumnData blocks(Storage::Text, IntForm::Number, false);
        for (size_t i = 0; i < rows; ++i)
            feed(single, i);
        const size_t sizes[] = {256, 4096, 32768, 3, 65530, 9};
        for (size_t next = 0, k = 0; next < rows; ++k) {
            ColumnData block(Storage::Text, IntForm::Number, false);
            const size_t end = std::min(rows, next + sizes[k % std::size(sizes)]);
            for (; next < end; ++next)
                feed(block, next);
            blocks.appendColumn(block);
        }
        // Held compactly: all-equal cells cost their bytes, not an offset each.
        if (changeAt == -1) QVERIFY(blocks.memoryBytes() < rows * 8 + rows / 4);
        for (ColumnData* c : {&single, &blocks}) {
            c->squeeze();
            QCOMPARE(c->size(), rows);
            for (size_t i = 0; i < rows; ++i)
                if (c->bytesAt(i) != expected[i] || c->isNull(i) != (changeAt == -2 && i == 70000))
                    QFAIL(qPrintable(QStringLiteral("row %1: %2").arg(i).arg(c->text(i))));
            c->set(65535, Value(QStringLiteral("an edit longer than the cell")));
            c->appendBytes("12345678");
            c->appendBytes("x");
            QCOMPARE(c->text(65535), QStringLiteral("an edit longer than the cell"));
            QCOMPARE(c->bytesAt(65534), std::string_view(expected[65534]));
            QCOMPARE(c->bytesAt(65536), std::string_view(expected[65536]));
            QCOMPARE(c->text(rows), QStringLiteral("12345678"));
            QCOMPARE(c->text(rows + 1), QStringLiteral("x"));
            QVERIFY(c->compare(1, 2) != 0);
        }
    }

    // The arrays behind the columns grow past the size where they are mapped and shrink back
    // keeping every value; copies and moves leave each array its own values.
    void pageArray() {
        PageArray<quint32> a;
        for (quint32 i = 0; i < 300000; ++i)
            a.push_back(i * 3);
        QCOMPARE(a.size(), size_t(300000));
        QCOMPARE(a[299999], quint32(899997));
        a.resize(10);
        a.shrink_to_fit();
        QCOMPARE(a.capacity(), size_t(10));
        QCOMPARE(a[9], quint32(27));
        a.resize(100000);
        QCOMPARE(a[99999], quint32(0));
        a.erase(a.begin());
        QCOMPARE(a[0], quint32(3));
        PageArray<quint32> copy = a;
        a[0] = 42;
        QCOMPARE(copy[0], quint32(3));
        PageArray<quint32> moved = std::move(a);
        QCOMPARE(moved[0], quint32(42));
        QVERIFY(a.empty());
        PageArray<char> text;
        text.append(std::string_view("abc"));
        text += 'd';
        std::u16string wide(40000, u'\u3042');
        appendUtf16AsUtf8(text, wide.data(), wide.size());
        QCOMPARE(text.size(), size_t(4 + 120000));
        QCOMPARE(std::string_view(text.data(), 7), std::string_view("abcd\xE3\x81\x82"));
        text.shrink_to_fit();
        QCOMPARE(text.capacity(), size_t(4 + 120000) / 4096 * 4096 + 4096);
    }

    void columnStorage() {
        ColumnData ints(Storage::Int, IntForm::Number, false);
        ints.appendInt(5);
        ints.appendNull();
        ints.appendInt(-3);
        QVERIFY(ints.isNull(1));
        QCOMPARE(ints.compare(1, 0), -1); // Null first
        QCOMPARE(ints.compare(2, 0), -1);
        // A text that is no number turns the column into text and keeps every value.
        ints.set(0, Value(QStringLiteral("five")));
        QCOMPARE(ints.storage(), Storage::Text);
        QCOMPARE(ints.text(0), QStringLiteral("five"));
        QVERIFY(ints.isNull(1));
        QCOMPARE(ints.text(2), QStringLiteral("-3"));

        ColumnData texts(Storage::Text, IntForm::Number, false);
        for (int i = 0; i < 200; ++i)
            texts.append(Value(QString::number(i)));
        texts.append(Value::null());
        texts.set(70, Value(QStringLiteral("edited")));
        QCOMPARE(texts.text(70), QStringLiteral("edited"));
        QCOMPARE(texts.text(71), QStringLiteral("71"));
        QCOMPARE(texts.text(199), QStringLiteral("199"));
        QVERIFY(texts.isNull(200));
        QVERIFY(texts.value(200).isNull());
        texts.set(200, Value(QString()));
        QVERIFY(!texts.isNull(200));
        QCOMPARE(texts.text(200), QString());
        QString into;
        texts.textInto(70, into);
        QCOMPARE(into, QStringLiteral("edited"));
    }
};

QTEST_GUILESS_MAIN(TestValueText)
#include "tst_valuetext.moc"
