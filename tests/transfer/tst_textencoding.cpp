// Character sets of text files: the locale's for writing; UTF-8 with or without BOM, else
// CP932, for reading.
#include "transfer/TextEncoding.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace {
const QByteArray kJapaneseCp932 = QByteArray::fromHex("82a088a4"); // あ愛 in CP932

QString writeFile(const QTemporaryDir& dir, const QString& name, const QByteArray& bytes) {
    const QString path = dir.filePath(name);
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size()) return QString();
    return path;
}
} // namespace

class TestTextEncoding : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;

private slots:
    void localeEncoding_data() {
        QTest::addColumn<QByteArray>("lcAll");
        QTest::addColumn<QByteArray>("lcCtype");
        QTest::addColumn<QByteArray>("lang");
        QTest::addColumn<bool>("cp932");
        QTest::newRow("utf-8") << QByteArray() << QByteArray() << QByteArray("ja_JP.UTF-8")
                               << false;
        QTest::newRow("sjis") << QByteArray("ja_JP.SJIS") << QByteArray()
                              << QByteArray("ja_JP.UTF-8") << true;
        QTest::newRow("shift_jis in LC_CTYPE")
            << QByteArray() << QByteArray("ja_JP.Shift_JIS@x") << QByteArray("C") << true;
        QTest::newRow("LC_ALL wins")
            << QByteArray("C.UTF-8") << QByteArray("ja_JP.SJIS") << QByteArray() << false;
        QTest::newRow("nothing set") << QByteArray() << QByteArray() << QByteArray() << false;
    }
    void localeEncoding() {
        QFETCH(QByteArray, lcAll);
        QFETCH(QByteArray, lcCtype);
        QFETCH(QByteArray, lang);
        QFETCH(bool, cp932);
        const QByteArray saved[] = {qgetenv("LC_ALL"), qgetenv("LC_CTYPE"), qgetenv("LANG")};
        const char* names[] = {"LC_ALL", "LC_CTYPE", "LANG"};
        const QByteArray values[] = {lcAll, lcCtype, lang};
        for (int i = 0; i < 3; ++i)
            values[i].isEmpty() ? qunsetenv(names[i]) : qputenv(names[i], values[i]);
        const TextEncoding e = localeTextEncoding();
        for (int i = 0; i < 3; ++i)
            saved[i].isEmpty() ? qunsetenv(names[i]) : qputenv(names[i], saved[i]);
        QCOMPARE(e == TextEncoding::Cp932, cp932);
    }

    void cp932RoundTrip() {
        TextEncoder encoder(TextEncoding::Cp932);
        std::string bytes;
        encoder.append(QStringLiteral("あ愛,\"x\""), bytes);
        QCOMPARE(QByteArray::fromStdString(bytes), kJapaneseCp932 + ",\"x\"");
        // What CP932 cannot hold is written as one "?" per character, surrogate pairs included.
        bytes.clear();
        encoder.append(QStringLiteral("a😀é b"), bytes);
        QCOMPARE(QByteArray::fromStdString(bytes), QByteArray("a?? b"));

        TextDecoder decoder(TextEncoding::Cp932);
        QCOMPARE(decoder.decode(std::string_view(kJapaneseCp932.constData(), 4)),
                 QStringLiteral("あ愛"));
        QCOMPARE(decoder.decode("a\xff"
                                "b"),
                 QStringLiteral("a\uFFFDb"));
        TextDecoder utf8(TextEncoding::Utf8);
        QCOMPARE(utf8.decode("\xe3\x81\x82"), QStringLiteral("あ"));
    }

    // A U+FEFF inside a file is text: it stays at the start of a field or line, where a
    // decoder for whole files would take it for a byte-order mark and drop it.
    void innerByteOrderMarkKept() {
        TextDecoder utf8(TextEncoding::Utf8);
        QCOMPARE(utf8.decode("\xef\xbb\xbf!"), QStringLiteral("\uFEFF!"));
        QCOMPARE(utf8.decode("\xef\xbb\xbf"), QStringLiteral("\uFEFF"));
        QCOMPARE(utf8.decode("a\xef\xbb\xbf"), QStringLiteral("a\uFEFF"));
        std::string back;
        TextEncoder(TextEncoding::Utf8).append(utf8.decode("\xef\xbb\xbfid"), back);
        QCOMPARE(QByteArray::fromStdString(back), QByteArray("\xef\xbb\xbfid"));
    }

    // A UTF-8 file's stray bytes survive reading and writing in either character set.
    void keptBytes() {
        const std::string_view bytes("\xe3\x81\x82\xff,\x82\xa0\"\xe3\x81");
        TextDecoder plain(TextEncoding::Utf8);
        QVERIFY(plain.decode(bytes).contains(QChar(0xFFFD)));
        TextDecoder keeping(TextEncoding::Utf8, true);
        const QString text = keeping.decode(bytes);
        QCOMPARE(text, QString::fromUtf16(u"あ\xDCFF,\xDC82\xDCA0\"\xDCE3\xDC81"));
        std::string out;
        TextEncoder(TextEncoding::Utf8).append(text, out);
        QCOMPARE(out, std::string(bytes));
        // CP932 writes its own characters and the kept bytes as they were.
        out.clear();
        TextEncoder(TextEncoding::Cp932).append(text, out);
        QCOMPARE(QByteArray::fromStdString(out), QByteArray("\x82\xa0\xff,\x82\xa0\"\xe3\x81"));
        // CP932 files have no stray bytes to keep.
        QCOMPARE(TextDecoder(TextEncoding::Cp932, true).decode("\x82\xa0\xff"),
                 QStringLiteral("あ\uFFFD"));
    }

    void utf8Counts() {
        Utf8Counts counts;
        QCOMPARE(countUtf8("a\xe3\x81\x82\xff\x80\xc3\xa9\xe3\x81", counts), size_t(8));
        QCOMPARE(counts.sequences, qint64(2));
        QCOMPARE(counts.invalid, qint64(2));
        // The carried sequence completed by the next chunk.
        QCOMPARE(countUtf8("\xe3\x81\x82", counts), size_t(3));
        QCOMPARE(counts.sequences, qint64(3));
        QCOMPARE(countUtf8("\xe3\x81x", counts), size_t(3));
        QCOMPARE(counts.invalid, qint64(4));
    }

    void utf8Validation_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("prefix");
        QTest::addColumn<bool>("invalid");
        QTest::newRow("ascii") << QByteArray("plain ascii text!") << 17 << false;
        QTest::newRow("japanese") << QByteArray("あい") << 6 << false;
        QTest::newRow("cut short") << QByteArray("ab\xe3\x81") << 2 << false;
        QTest::newRow("cp932") << kJapaneseCp932 << 0 << true;
        QTest::newRow("overlong") << QByteArray("a\xc0\xaf") << 1 << true;
        QTest::newRow("surrogate") << QByteArray("a\xed\xa0\x80") << 1 << true;
        QTest::newRow("beyond U+10FFFF") << QByteArray("\xf4\x90\x80\x80") << 0 << true;
        QTest::newRow("four bytes") << QByteArray("12345678\xf0\x9f\x98\x80") << 12 << false;
    }
    void utf8Validation() {
        QFETCH(QByteArray, bytes);
        QFETCH(int, prefix);
        QFETCH(bool, invalid);
        bool bad = false;
        QCOMPARE(
            int(validUtf8Prefix(std::string_view(bytes.constData(), size_t(bytes.size())), bad)),
            prefix);
        QCOMPARE(bad, invalid);
    }

    void fileDetection_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("result"); // 0 UTF-8, 1 CP932, 2 UTF-8 with kept bytes, -1 refused
        QTest::addColumn<int>("bom");
        QTest::newRow("utf-8") << QByteArray("1,\"あ\"\r\n") << 0 << 0;
        QTest::newRow("utf-8 with bom") << QByteArray("\xef\xbb\xbf"
                                                      "1,\"あ\"\r\n")
                                        << 0 << 3;
        QTest::newRow("empty") << QByteArray() << 0 << 0;
        QTest::newRow("cp932") << QByteArray("1,\"" + kJapaneseCp932 + "\"\r\n") << 1 << 0;
        // A character torn by the scanner's chunk boundary is still one character.
        QTest::newRow("utf-8 across chunks") << QByteArray(1024 * 1024 - 1, 'a') + "あ" << 0 << 0;
        QTest::newRow("cp932 across chunks")
            << QByteArray(1024 * 1024 - 1, 'a') + kJapaneseCp932 << 1 << 0;
        QTest::newRow("neither") << QByteArray("a\xff\xfe,b") << -1 << 0;
        QTest::newRow("lead byte at the end") << QByteArray("a\x82") << -1 << 0;
        QTest::newRow("bom, then not utf-8")
            << QByteArray("\xef\xbb\xbf" + kJapaneseCp932) << -1 << 3;
        // More valid multi-byte UTF-8 sequences than stray bytes: UTF-8, even where the
        // whole file would also be valid CP932.
        QTest::newRow("utf-8, stray bytes")
            << QByteArray("1,\"日本語のテキスト\"\r\n2,\"" + kJapaneseCp932 + "\"\r\n") << 2 << 0;
        QTest::newRow("utf-8, stray bytes, bom") << QByteArray("\xef\xbb\xbf"
                                                               "1,\"あい\",\xff\r\n")
                                                 << 2 << 3;
        QTest::newRow("utf-8, not cp932 either") << QByteArray("あいう\xff\xfe") << 2 << 0;
        QTest::newRow("utf-8, stray bytes across chunks")
            << QByteArray(1024 * 1024 - 1, 'a') + "あ\xff" + "い" << 2 << 0;
        QTest::newRow("utf-8, cut short at the end") << QByteArray("あい\xe3\x81") << 2 << 0;
        QTest::newRow("as many stray bytes as sequences")
            << QByteArray("あい" + kJapaneseCp932) << 1 << 0;
        // Files as Windows writes them: kana, kanji, half-width katakana that pair into
        // UTF-8 by chance (\xc3\xbd is ﾃｽ), kanji whose bytes happen to be UTF-8 (\xe9\x80\x81
        // is 送 in UTF-8).
        QTest::newRow("cp932 text") << QByteArray("1,\"\x83\x65\x83\x58\x83\x67\",\"\xc3\xbd"
                                                  "\xc4\",\"\x93\xfa\x96\x7b\x8c\xea\"\r\n")
                                    << 1 << 0;
        QTest::newRow("cp932, half-width katakana")
            << QByteArray("\xc3\xbd\xc4,\xc3\xb0\xcc\xde\xd9,\xb6\xc0\xb6\xc5\r\n") << 1 << 0;
        QTest::newRow("cp932, kanji that look like utf-8")
            << QByteArray("\xe9\x80\x81\x82,\x88\xa4\r\n") << 1 << 0;
    }
    void fileDetection() {
        QFETCH(QByteArray, bytes);
        QFETCH(int, result);
        QFETCH(int, bom);
        const QString path = writeFile(m_dir, QStringLiteral("f.csv"), bytes);
        QVERIFY(!path.isEmpty());
        FileEncoding encoding;
        db::Error error;
        const bool ok = detectFileEncoding(path, encoding, error);
        QCOMPARE(ok, result >= 0);
        if (!ok) {
            QVERIFY(error.Description.contains(path));
            return;
        }
        QCOMPARE(encoding.encoding == TextEncoding::Cp932, result == 1);
        QCOMPARE(encoding.keepsBytes, result == 2);
        QCOMPARE(int(encoding.bomLength), bom);
    }

    void unreadableFile() {
        FileEncoding encoding;
        db::Error error;
        QVERIFY(
            !detectFileEncoding(m_dir.filePath(QStringLiteral("missing.csv")), encoding, error));
        QCOMPARE(error.Number, 75);
        QVERIFY(!detectFileEncoding(m_dir.path(), encoding, error)); // a folder
    }
};

QTEST_APPLESS_MAIN(TestTextEncoding)
#include "tst_textencoding.moc"
