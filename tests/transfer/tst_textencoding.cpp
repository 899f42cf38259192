// Character sets of text files: the locale's for writing; UTF-8 with or without BOM, else
// CP932, for reading.
#include "TextEncoding.h"

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
        QTest::addColumn<int>("result"); // 0 UTF-8, 1 CP932, -1 refused
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
