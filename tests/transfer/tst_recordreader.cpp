// The splitting of delimited text into records and fields, as one table of cases, each read
// from the whole text at once and from a stream that delivers one byte at a time.
#include "transfer/RecordReader.h"

#include <QTest>

using Records = QList<QStringList>; // a blank line reads as an empty list

namespace {
Records readAll(const QByteArray& input, char separator, qint64 piece, bool* failed = nullptr,
                TextEncoding encoding = TextEncoding::Utf8) {
    qint64 pos = 0;
    LineReader lines([&](char* data, qint64 max) {
        const qint64 n = std::min({max, piece, qint64(input.size()) - pos});
        std::memcpy(data, input.constData() + pos, size_t(n));
        pos += n;
        return n;
    });
    RecordReader reader(lines, separator, encoding);
    TextDecoder decoder(encoding);
    Records out;
    for (;;) {
        const RecordReader::Status status = reader.next();
        if (status == RecordReader::End || status == RecordReader::ReadFailed) {
            if (failed) *failed = status == RecordReader::ReadFailed;
            return out;
        }
        QStringList fields;
        // A quoted empty field (an empty text) reads as "" here, one without quotes (Null) as
        // nothing.
        for (int i = 0; i < reader.fieldCount(); ++i) {
            const std::string_view f = reader.field(i);
            fields << (f.empty() && reader.fieldQuoted(i) ? QStringLiteral("\"\"")
                                                          : decoder.decode(f));
        }
        out << fields;
    }
}
} // namespace

class TestRecordReader : public QObject {
    Q_OBJECT
private slots:
    void format_data() {
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<char>("separator");
        QTest::addColumn<Records>("expected");
        const Records none;
        QTest::newRow("plain") << QByteArray("a,b\r\nc,d\r\n") << ','
                               << Records{{"a", "b"}, {"c", "d"}};
        QTest::newRow("empty file") << QByteArray() << ',' << none;
        QTest::newRow("last line without end")
            << QByteArray("a\r\nb") << ',' << Records{{"a"}, {"b"}};
        QTest::newRow("LF and lone CR")
            << QByteArray("a\nb\rc\r\nd") << ',' << Records{{"a"}, {"b"}, {"c"}, {"d"}};
        QTest::newRow("separator inside quotes")
            << QByteArray("\"x,y\",z") << ',' << Records{{"x,y", "z"}};
        QTest::newRow("doubled quotes")
            << QByteArray("\"a\"\"b\",\"\"\"\",\"c\"\"\"") << ',' << Records{{"a\"b", "\"", "c\""}};
        QTest::newRow("quoted empty")
            << QByteArray("\"\",x,\"\",,") << ',' << Records{{"\"\"", "x", "\"\"", ""}};
        QTest::newRow("quotes inside plain field")
            << QByteArray("x\"\"y,\"a\",p\"q") << ',' << Records{{"x\"\"y", "a", "p\"q"}};
        QTest::newRow("value over lines, CR LF")
            << QByteArray("\"l1\r\nl2\r\n\r\nl4\",z\r\nnext") << ','
            << Records{{"l1\r\nl2\r\n\r\nl4", "z"}, {"next"}};
        QTest::newRow("value over lines, LF")
            << QByteArray("1,\"l1\nl2\"\n2") << ',' << Records{{"1", "l1\nl2"}, {"2"}};
        QTest::newRow("value over lines, each line end kept")
            << QByteArray("\"a\nb\rc\r\nd\"") << ',' << Records{{"a\nb\rc\r\nd"}};
        QTest::newRow("unterminated at the end")
            << QByteArray("1,\"abc\r\ndef\"\"g\r\n") << ',' << Records{{"1", "abc\r\ndef\"g"}};
        QTest::newRow("trailing separator")
            << QByteArray("a,b,\r\n\"a\",") << ',' << Records{{"a", "b"}, {"a"}};
        QTest::newRow("two separators") << QByteArray("a,,b") << ',' << Records{{"a", "", "b"}};
        QTest::newRow("blank lines")
            << QByteArray("a\r\n\r\n   \r\nb") << ',' << Records{{"a"}, {}, {}, {"b"}};
        QTest::newRow("blanks") << QByteArray("  a  ,  b  ,  c  ") << ','
                                << Records{{"  a  ", "b  ", "c"}};
        QTest::newRow("one field trimmed") << QByteArray("  a  ") << ',' << Records{{"a"}};
        QTest::newRow("blanks inside quotes kept")
            << QByteArray("\"  a  \", \" b \" ") << ',' << Records{{"  a  ", " b "}};
        QTest::newRow("blanks at line ends inside quotes")
            << QByteArray("1,\"ha  \r\n\"\"ha\"\" \n ha\"\r\n2,\"x \r y\",  \" \n \"  \r\n") << ','
            << Records{{"1", "ha  \r\n\"ha\" \n ha"}, {"2", "x \r y", " \n "}};
        QTest::newRow("blanks inside quotes after a value over lines")
            << QByteArray("\"a\nb\",  \"c  \nd\",\"e \r\n\"") << ','
            << Records{{"a\nb", "c  \nd", "e \r\n"}};
        QTest::newRow("blanks at line ends inside quotes, tab")
            << QByteArray("a\t\"b \r\n c\"\t\" d \r\" ") << '\t'
            << Records{{"a", "b \r\n c", " d \r"}};
        QTest::newRow("blank before a quote")
            << QByteArray(" \"a,b\",c") << ',' << Records{{" \"a", "b\"", "c"}};
        QTest::newRow("character after the closing quote")
            << QByteArray("\"ab\"x,c\r\n\"ab\";c") << ',' << Records{{"ab", "", "c"}, {"ab", "c"}};
        QTest::newRow("placeholder text is data")
            << QByteArray("\"K7K75THUNDERBIRD\",\"a K7K75THUNDERBIRD\"\"b\"") << ','
            << Records{{"K7K75THUNDERBIRD", "a K7K75THUNDERBIRD\"b"}};
        QTest::newRow("tab") << QByteArray("a,b\t\"c\td\"\t e \r\n\t") << '\t'
                             << Records{{"a,b", "c\td", "e"}, {""}};
        QTest::newRow("quote left open on a line of its own")
            << QByteArray("a,\"\r\nb\",c") << ',' << Records{{"a", "\r\nb", "c"}};
        QTest::newRow("multi-byte text")
            << QByteArray("\"佐藤\",鈴木") << ',' << Records{{"佐藤", "鈴木"}};
        QTest::newRow("NUL bytes")
            << QByteArray("a\0b,c", 5) << ',' << Records{{QString::fromUtf8("a\0b", 3), "c"}};
    }
    void format() {
        QFETCH(QByteArray, input);
        QFETCH(char, separator);
        QFETCH(Records, expected);
        QCOMPARE(readAll(input, separator, 1 << 20), expected);
        // Chunk boundaries anywhere, a CR LF torn apart included.
        QCOMPARE(readAll(input, separator, 1), expected);
    }

    // The character after a closing quote is skipped whole, however many bytes it has in the
    // file's character set: none of it may reach the next field.
    void multiByteAfterClosingQuote_data() {
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<bool>("cp932");
        QTest::addColumn<Records>("expected");
        QTest::newRow("UTF-8, two bytes")
            << QByteArray("\"ab\"\xc3\xa9,c") << false << Records{{"ab", "", "c"}};
        QTest::newRow("UTF-8, three bytes")
            << QByteArray("\"ab\"\xe4\xbd\x90x,c") << false << Records{{"ab", "x", "c"}};
        QTest::newRow("UTF-8, four bytes at the line end")
            << QByteArray("\"ab\"\xf0\x9f\x98\x80\r\nz") << false << Records{{"ab"}, {"z"}};
        QTest::newRow("UTF-8, quote over lines")
            << QByteArray("\"a\r\nb\"\xcf\xbe,c") << false << Records{{"a\r\nb", "", "c"}};
        // ソ is 0x83 0x5C, its trail byte an ASCII backslash; 佐 is 0x8D 0xB2.
        QTest::newRow("CP932, two bytes")
            << QByteArray("\"ab\"\x83\x5c,c") << true << Records{{"ab", "", "c"}};
        QTest::newRow("CP932, text after it")
            << QByteArray("\"ab\"\x8d\xb2x,c") << true << Records{{"ab", "x", "c"}};
        QTest::newRow("CP932, half-width kana is one byte")
            << QByteArray("\"ab\"\xb1x,c") << true << Records{{"ab", "x", "c"}};
        QTest::newRow("CP932, lead byte at the line end")
            << QByteArray("\"ab\"\x83\r\nz") << true << Records{{"ab"}, {"z"}};
    }
    void multiByteAfterClosingQuote() {
        QFETCH(QByteArray, input);
        QFETCH(bool, cp932);
        QFETCH(Records, expected);
        const TextEncoding encoding = cp932 ? TextEncoding::Cp932 : TextEncoding::Utf8;
        QCOMPARE(readAll(input, ',', 1 << 20, nullptr, encoding), expected);
        QCOMPARE(readAll(input, ',', 1, nullptr, encoding), expected);
    }

    void longLine() {
        // One line far longer than a read chunk, quoted and over two lines.
        QByteArray input = "\"" + QByteArray(3 * 1024 * 1024, 'x') + "\r\n" +
                           QByteArray(1024 * 1024, 'y') + "\",z";
        const Records records = readAll(input, ',', 64 * 1024);
        QCOMPARE(records.size(), 1);
        QCOMPARE(records[0].size(), 2);
        QCOMPARE(records[0][0].size(), 4 * 1024 * 1024 + 2);
        QVERIFY(records[0][0].endsWith(QLatin1Char('y')));
        QCOMPARE(records[0][1], QStringLiteral("z"));
    }

    void readFailure() {
        int calls = 0;
        LineReader lines([&](char* data, qint64) -> qint64 {
            if (calls++ > 0) return -1;
            std::memcpy(data, "a,b\r\n\"open", 10);
            return 10;
        });
        RecordReader reader(lines, ',');
        QCOMPARE(reader.next(), RecordReader::Record);
        // A failing read is no end of file: the open quote is not closed by it.
        QCOMPARE(reader.next(), RecordReader::ReadFailed);
        QCOMPARE(reader.next(), RecordReader::ReadFailed);
    }
};

QTEST_APPLESS_MAIN(TestRecordReader)
#include "tst_recordreader.moc"
