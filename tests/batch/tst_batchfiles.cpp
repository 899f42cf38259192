// File naming of the export of all tables, and loading batch files into the command box, with
// real files and a real settings store.
#include "RecordingBatchFeedback.h"
#include "batch/BatchFileLoader.h"
#include "batch/ExportAllNames.h"
#include "options/SettingsKeys.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

class TestBatchFiles : public QObject {
    Q_OBJECT
    std::unique_ptr<QTemporaryDir> m_config;
    QTemporaryDir m_files;
    const QString m_programFolder = QStringLiteral("/opt/tolvan/");

    QString writeFile(const QString& name, const QByteArray& bytes) {
        const QString path = m_files.filePath(name);
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
            qFatal("cannot write %s", qPrintable(path));
        f.write(bytes);
        return path;
    }

private slots:
    void init() {
        m_config = std::make_unique<QTemporaryDir>();
        qputenv("XDG_CONFIG_HOME", m_config->path().toUtf8());
    }

    void commandTextBecomesOneLine() {
        QCOMPARE(JoinedCommandText(QStringLiteral("/tmp/\r\nout\r/x\ny\r\n")),
                 QStringLiteral("/tmp/out/xy"));
        QCOMPARE(JoinedCommandText(QStringLiteral("T1, a.csv\r\nT2, b.csv")),
                 QStringLiteral("T1, a.csvT2, b.csv"));
    }

    void outputFolderGetsOneSeparator_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("folder");
        QTest::newRow("without") << "/tmp/out"
                                 << "/tmp/out/";
        QTest::newRow("with") << "/tmp/out/"
                              << "/tmp/out/";
        QTest::newRow("blanks around") << "  /tmp/out  "
                                       << "/tmp/out/";
        QTest::newRow("blank after the separator") << "/tmp/out/ "
                                                   << "/tmp/out/";
        QTest::newRow("relative") << "out"
                                  << "out/";
    }
    void outputFolderGetsOneSeparator() {
        QFETCH(QString, typed);
        QFETCH(QString, folder);
        QCOMPARE(OutputFolder(typed), folder);
    }

    void dataFilePaths_data() {
        QTest::addColumn<QString>("entry");
        QTest::addColumn<QString>("ext");
        QTest::addColumn<QString>("path");
        QTest::newRow("plain") << "Customers"
                               << ".csv"
                               << "/out/Customers.csv";
        QTest::newRow("trimmed") << "  orders "
                                 << ".tab"
                                 << "/out/orders.tab";
        QTest::newRow("bracketed") << "[sales targets]"
                                   << ".csv"
                                   << "/out/[sales targets].csv";
        QTest::newRow("quoted") << "\"sales targets\""
                                << ".csv"
                                << "/out/\"sales targets\".csv";
        QTest::newRow("slash cannot leave the folder") << "../../etc/passwd"
                                                       << ".csv"
                                                       << "/out/.._.._etc_passwd.csv";
    }
    void dataFilePaths() {
        QFETCH(QString, entry);
        QFETCH(QString, ext);
        QFETCH(QString, path);
        QCOMPARE(DataFilePath(QStringLiteral("/out/"), entry, ext), path);
    }

    void fileLinesAreJoined_data() {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("command");
        QTest::newRow("empty file") << QByteArray() << "";
        QTest::newRow("only CR LF") << QByteArray("\r\n") << "";
        QTest::newRow("written by the export")
            << QByteArray("T1, /o/T1.csv\r\nT2, /o/T2.csv\r\n\r\n")
            << "T1, /o/T1.csv\r\nT2, /o/T2.csv\r\n";
        QTest::newRow("leading empty lines go")
            << QByteArray("\r\n\r\n  \r\nA, a.csv") << "  \r\nA, a.csv";
        QTest::newRow("middle empty lines stay")
            << QByteArray("\r\nA, a\r\n\r\n\r\nB, b\r\n") << "A, a\r\n\r\n\r\nB, b";
        QTest::newRow("lone CR ends a line") << QByteArray("A, a\rB, b\r") << "A, a\r\nB, b";
        QTest::newRow("lone LF ends a line")
            << QByteArray("A, a\nB, b\n\nC, c\n") << "A, a\r\nB, b\r\n\r\nC, c";
        QTest::newRow("no final line end") << QByteArray("A, a") << "A, a";
        QTest::newRow("UTF-8") << QStringLiteral("顧客, /データ/顧客.csv\r\n").toUtf8()
                               << "顧客, /データ/顧客.csv";
        QTest::newRow("UTF-8 with BOM")
            << QByteArray("\xEF\xBB\xBF\r\nA, \xE3\x81\x82.csv") << "A, あ.csv";
        // "テスト, a.csv" in CP932: not valid UTF-8.
        QTest::newRow("CP932") << QByteArray("\x83\x65\x83\x58\x83\x67, a.csv\r\n")
                               << "テスト, a.csv";
    }
    void fileLinesAreJoined() {
        QFETCH(QByteArray, file);
        QFETCH(QString, command);
        const BatchFileContents contents =
            ReadBatchFileText(writeFile(QStringLiteral("lines.txt"), file));
        QVERIFY2(contents.ok, qPrintable(contents.errorReport));
        QCOMPARE(contents.text, command);
    }

    void dialogFolder() {
        QCOMPARE(BatchDialogFolder(QStringLiteral("0"), m_programFolder), QString());
        const QString existing = m_files.path() + QLatin1Char('/');
        QCOMPARE(BatchDialogFolder(existing, m_programFolder), existing);
        QCOMPARE(BatchDialogFolder(existing + QStringLiteral("gone/"), m_programFolder),
                 m_programFolder);
    }

    void loadingPutsTheFileIntoTheCommandBox() {
        QDir(m_files.path()).mkpath(QStringLiteral("sub"));
        const QString path =
            writeFile(QStringLiteral("sub/ImportAllCSV.txt"), "\r\nT1, /o/T1.csv\r\n\r\n");
        RecordingBatchFeedback fb;
        fb.command = QStringLiteral("old");
        fb.fileAnswer = path;
        ReadBatchFile(fb, m_programFolder);
        QCOMPARE(fb.command, QStringLiteral("T1, /o/T1.csv\r\n"));
        QCOMPARE(fb.dialogs, QStringList{QStringLiteral(
                                 "バッチファイル インポート|テキストファイル (*.txt)|*.txt|")});
        QCOMPARE(fb.calls, (QStringList{"disable", "enable"}));
        QVERIFY(fb.messages.isEmpty());
        QVERIFY(fb.log.isEmpty());
        QCOMPARE(ReadSetting(keys::ImportDirFile), m_files.path() + QStringLiteral("/sub/"));

        // The next dialog opens where the last file was; then in the program's folder once
        // that folder has gone.
        fb.fileAnswer.clear();
        ReadBatchFile(fb, m_programFolder);
        QVERIFY(fb.dialogs.last().endsWith(QLatin1Char('|') + m_files.path() +
                                           QStringLiteral("/sub/")));
        QVERIFY(QDir(m_files.path() + QStringLiteral("/sub")).removeRecursively());
        ReadBatchFile(fb, m_programFolder);
        QVERIFY(fb.dialogs.last().endsWith(QLatin1Char('|') + m_programFolder));
        QCOMPARE(fb.command, QStringLiteral("T1, /o/T1.csv\r\n"));
    }

    void emptyFileEmptiesTheBox() {
        RecordingBatchFeedback fb;
        fb.command = QStringLiteral("old");
        fb.fileAnswer = writeFile(QStringLiteral("empty.txt"), "");
        ReadBatchFile(fb, m_programFolder);
        QCOMPARE(fb.command, QString());
    }

    void nothingChosenChangesNothing_data() {
        QTest::addColumn<QString>("answer");
        QTest::addColumn<QStringList>("messages");
        QTest::newRow("cancelled") << "" << QStringList();
        QTest::newRow("blank") << "   " << QStringList();
        QTest::newRow("missing") << "/nonexistent/x.txt"
                                 << QStringList{"指定されたファイルは存在しません"};
        // There, but no file to read.
        QTest::newRow("a folder") << "/tmp"
                                  << QStringList{"指定されたパスはファイルではありません"};
    }
    void nothingChosenChangesNothing() {
        QFETCH(QString, answer);
        QFETCH(QStringList, messages);
        RecordingBatchFeedback fb;
        fb.command = QStringLiteral("kept");
        fb.fileAnswer = answer;
        ReadBatchFile(fb, m_programFolder);
        QCOMPARE(fb.command, QStringLiteral("kept"));
        QCOMPARE(fb.messages, messages);
        QCOMPARE(fb.calls, (QStringList{"disable", "enable"}));
        QCOMPARE(ReadSetting(keys::ImportDirFile), QStringLiteral("0"));
    }

    void readErrorIsReported() {
        // A file that opens but cannot be read: the kernel refuses reads at address 0.
        RecordingBatchFeedback fb;
        fb.command = QStringLiteral("kept");
        fb.fileAnswer = QStringLiteral("/proc/self/mem");
        ReadBatchFile(fb, m_programFolder);
        QCOMPARE(fb.command, QStringLiteral("kept"));
        QCOMPARE(fb.messages.size(), 1);
        QVERIFY2(fb.messages[0].startsWith(
                     QStringLiteral("   VB Error # 75\r\n   Generated by \r\nTolvan\r\n"
                                    "   Description  \r\n")),
                 qPrintable(fb.messages[0]));
        QCOMPARE(fb.calls, (QStringList{"disable", "enable"}));
    }
};

QTEST_GUILESS_MAIN(TestBatchFiles)
#include "tst_batchfiles.moc"
