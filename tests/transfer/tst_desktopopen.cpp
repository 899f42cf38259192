// Finding and starting the desktop's application for a file type, in private XDG folders with
// a stub application that records how it was started.
#include "transfer/DesktopOpen.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace {
const QString kHtml = QStringLiteral("text/html");
const QString kXlsx =
    QStringLiteral("application/vnd.openxmlformats-officedocument.spreadsheetml.sheet");
} // namespace

class TestDesktopOpen : public QObject {
    Q_OBJECT
    std::unique_ptr<QTemporaryDir> m_dir;
    // The system's MIME database alone, in a data folder that stays put for the whole run.
    QTemporaryDir m_mimeOnly;
    QString m_stub, m_log;

    QString path(const QString& relative) { return m_dir->filePath(relative); }
    void write(const QString& relative, const QByteArray& text) {
        QVERIFY(QDir().mkpath(QFileInfo(path(relative)).path()));
        QFile f(path(relative));
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(text);
    }
    // An application entry in the given applications folder.
    void entry(const QString& folder, const QString& id, const QByteArray& types,
               const QByteArray& extra = {}) {
        write(folder + QLatin1Char('/') + id,
              "[Desktop Entry]\nType=Application\nName=" + id.toUtf8() + "\nExec=" +
                  m_stub.toUtf8() + " " + id.toUtf8() + " %f\nMimeType=" + types + "\n" + extra);
    }
    QString found(const QString& type) { return defaultApplicationFor(type).id; }

private slots:
    void initTestCase() {
        QVERIFY(QFile::link(QStringLiteral("/usr/share/mime"),
                            m_mimeOnly.filePath(QStringLiteral("mime"))));
    }
    void init() {
        m_dir = std::make_unique<QTemporaryDir>();
        for (const char* v : {"XDG_CONFIG_HOME", "XDG_CONFIG_DIRS", "XDG_DATA_HOME"})
            qputenv(v, path(QString::fromLatin1(v).toLower()).toUtf8());
        qputenv("XDG_DATA_DIRS",
                (path(QStringLiteral("xdg_data_dirs")) + QLatin1Char(':') + m_mimeOnly.path())
                    .toUtf8());
        qunsetenv("XDG_CURRENT_DESKTOP");
        m_log = path(QStringLiteral("launched"));
        m_stub = path(QStringLiteral("stub.sh"));
        write(QStringLiteral("stub.sh"), "#!/bin/sh\nprintf '%s\\n' \"$@\" > " + m_log.toUtf8() +
                                             ".tmp\nmv " + m_log.toUtf8() + ".tmp " +
                                             m_log.toUtf8() + "\n");
        QFile::setPermissions(m_stub, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }

    void nothingInstalledMeansNoApplication() {
        QVERIFY(!defaultApplicationFor(kHtml).isValid());
        bool asked = false;
        QVERIFY(!openWithDefaultApplication(path(QStringLiteral("page.html")),
                                            [&](const QUrl&) { return asked = true; }));
        QVERIFY(!asked);
        // An archive tool does not open workbooks although a workbook is a zip file.
        entry(QStringLiteral("xdg_data_dirs/applications"), QStringLiteral("archiver.desktop"),
              "application/zip;");
        QVERIFY(!defaultApplicationFor(kXlsx).isValid());
    }

    void choiceFollowsTheAssociationFiles() {
        const QString apps = QStringLiteral("xdg_data_dirs/applications");
        entry(apps, QStringLiteral("a.desktop"), "text/html;");
        entry(apps, QStringLiteral("b.desktop"), "text/plain;");
        entry(apps, QStringLiteral("c.desktop"), "text/html;", "Hidden=true\n");
        entry(apps, QStringLiteral("d.desktop"), "text/html;", "TryExec=/nonexistent/program\n");
        // Only entries that list the type: the first by name.
        QCOMPARE(found(kHtml), QStringLiteral("a.desktop"));
        // The user's own entry with the same id hides the system one.
        entry(QStringLiteral("xdg_data_home/applications"), QStringLiteral("a.desktop"),
              "text/plain;", "Hidden=true\n");
        QVERIFY(!defaultApplicationFor(kHtml).isValid());
        QFile::remove(path(QStringLiteral("xdg_data_home/applications/a.desktop")));
        // An association wins over the listing, a default over both; unusable ids are passed over.
        write(QStringLiteral("xdg_config_dirs/mimeapps.list"),
              "[Added Associations]\ntext/html=b.desktop;\n");
        QCOMPARE(found(kHtml), QStringLiteral("b.desktop"));
        write(QStringLiteral("xdg_config_home/mimeapps.list"),
              "[Default Applications]\ntext/html=c.desktop;d.desktop;missing.desktop;a.desktop\n");
        QCOMPARE(found(kHtml), QStringLiteral("a.desktop"));
        // The desktop's own list comes first.
        qputenv("XDG_CURRENT_DESKTOP", "Test:Other");
        write(QStringLiteral("xdg_config_home/test-mimeapps.list"),
              "[Default Applications]\ntext/html=b.desktop\n");
        QCOMPARE(found(kHtml), QStringLiteral("b.desktop"));
        // Removed associations drop listed entries, not chosen defaults.
        QFile::remove(path(QStringLiteral("xdg_config_home/mimeapps.list")));
        QFile::remove(path(QStringLiteral("xdg_config_home/test-mimeapps.list")));
        QFile::remove(path(QStringLiteral("xdg_config_dirs/mimeapps.list")));
        write(QStringLiteral("xdg_config_home/mimeapps.list"),
              "[Removed Associations]\ntext/html=a.desktop\n");
        QVERIFY(!defaultApplicationFor(kHtml).isValid());
    }

    void launchCommandExpandsFieldCodes() {
        DesktopApplication app{
            QStringLiteral("v.desktop"), QStringLiteral("/apps/v.desktop"),
            QStringLiteral("\"/opt/my viewer/bin\" --title=%c \"say \\\"hi\\\"\" %U %i %k %% %d"),
            QStringLiteral("View"), QStringLiteral("view-icon")};
        QCOMPARE(
            launchCommand(app, QStringLiteral("/tmp/a b.html")),
            QStringList({"/opt/my viewer/bin", "--title=View", "say \"hi\"", "file:///tmp/a b.html",
                         "--icon", "view-icon", "/apps/v.desktop", "%"}));
        // A line that names no file gets the path appended.
        app.exec = QStringLiteral("viewer --new");
        QCOMPARE(launchCommand(app, QStringLiteral("/x.html")),
                 QStringList({"viewer", "--new", "/x.html"}));
    }

    void openingStartsTheApplication() {
        entry(QStringLiteral("xdg_data_dirs/applications"), QStringLiteral("calc.desktop"),
              kXlsx.toUtf8() + ";");
        const QString book = path(QStringLiteral("Book1.xlsx"));
        // The toolkit's opener first; when it manages, nothing else is started.
        QUrl asked;
        QVERIFY(openWithDefaultApplication(book, [&](const QUrl& u) { return asked = u, true; }));
        QCOMPARE(asked, QUrl::fromLocalFile(book));
        QTest::qWait(200);
        QVERIFY(!QFile::exists(m_log));
        // When it cannot, the application's own command line runs.
        QVERIFY(openWithDefaultApplication(book, [](const QUrl&) { return false; }));
        QTRY_VERIFY(QFile::exists(m_log));
        QFile log(m_log);
        QVERIFY(log.open(QIODevice::ReadOnly));
        QCOMPARE(log.readAll(), "calc.desktop\n" + book.toUtf8() + "\n");
    }
};

QTEST_GUILESS_MAIN(TestDesktopOpen)
#include "tst_desktopopen.moc"
