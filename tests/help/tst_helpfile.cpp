// Finding and opening the help: the lookup order, the desktop's handlers read from a private
// set of association files, and the fallback to the HTML pages when nothing opens a CHM.
#include "UrlRecorder.h"
#include "common/DesktopEntries.h"
#include "help/HelpFile.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

namespace {
void write(const QString& path, const QByteArray& text) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(text);
}

QByteArray desktopEntry(const QByteArray& mime, const QByteArray& extra = {}) {
    return "[Desktop Entry]\nType=Application\nName=Viewer\nExec=viewer %f\nMimeType=" + mime +
           "\n" + extra;
}
} // namespace

class TestHelpFile : public QObject {
    Q_OBJECT
    std::unique_ptr<QTemporaryDir> m_dir;
    UrlRecorder m_recorder;

    QString path(const QString& relative) const {
        return m_dir->path() + QLatin1Char('/') + relative;
    }
    QString userApps() const { return path(QStringLiteral("data-home/applications")); }

private slots:
    void init() {
        // Every folder the desktop's association lookup reads is private to the test.
        m_dir = std::make_unique<QTemporaryDir>();
        qputenv("XDG_CONFIG_HOME", path(QStringLiteral("config-home")).toUtf8());
        qputenv("XDG_CONFIG_DIRS", path(QStringLiteral("config-sys")).toUtf8());
        qputenv("XDG_DATA_HOME", path(QStringLiteral("data-home")).toUtf8());
        qputenv("XDG_DATA_DIRS", path(QStringLiteral("data-sys")).toUtf8());
        qunsetenv("XDG_CURRENT_DESKTOP");
        // The file types themselves come from the system's MIME database, without its
        // applications.
        QDir().mkpath(path(QStringLiteral("data-sys")));
        QVERIFY(
            QFile::link(QStringLiteral("/usr/share/mime"), path(QStringLiteral("data-sys/mime"))));
        m_recorder.opened.clear();
        QDesktopServices::setUrlHandler(QStringLiteral("file"), &m_recorder, "open");
    }
    void cleanup() { QDesktopServices::unsetUrlHandler(QStringLiteral("file")); }

    void foldersInLookupOrder() {
        const QStringList folders = helpFolders(QStringLiteral("/opt/x/bin"));
        QCOMPARE(folders,
                 QStringList({QStringLiteral("/opt/x/bin"), QStringLiteral("/opt/x/share/tolvan"),
                              path(QStringLiteral("data-home/tolvan")),
                              path(QStringLiteral("data-sys/tolvan"))}));
    }

    void theProgramFolderComesFirst() {
        const QStringList folders{path(QStringLiteral("bin")),
                                  path(QStringLiteral("share/tolvan"))};
        QCOMPARE(findHelpFile(folders), QString());
        write(path(QStringLiteral("share/tolvan/Tolvan.chm")), "ITSF");
        QCOMPARE(findHelpFile(folders), path(QStringLiteral("share/tolvan/Tolvan.chm")));
        write(path(QStringLiteral("bin/Tolvan.chm")), "ITSF");
        QCOMPARE(findHelpFile(folders), path(QStringLiteral("bin/Tolvan.chm")));
        // A folder of that name is no help file.
        QDir().mkpath(path(QStringLiteral("other/Tolvan.chm")));
        QCOMPARE(findHelpFile({path(QStringLiteral("other"))}), QString());
    }

    void theViewerOrTheHtmlIndexBesideTheHelpFile() {
        const QStringList folders{path(QStringLiteral("bin")),
                                  path(QStringLiteral("share/tolvan"))};
        const auto viewer = [](const QString&) { return true; };
        const auto none = [](const QString&) { return false; };
        // No help file: nothing opens, even where the pages are.
        write(path(QStringLiteral("bin/help/index.html")), "<html>");
        QCOMPARE(helpDocument(folders, viewer), QString());
        QCOMPARE(helpDocument(folders, none), QString());

        write(path(QStringLiteral("share/tolvan/Tolvan.chm")), "ITSF");
        QCOMPARE(helpDocument(folders, viewer), path(QStringLiteral("share/tolvan/Tolvan.chm")));
        // No viewer and no pages beside the help file that was found: nothing.
        QCOMPARE(helpDocument(folders, none), QString());
        write(path(QStringLiteral("share/tolvan/help/index.html")), "<html>");
        QCOMPARE(helpDocument(folders, none), path(QStringLiteral("share/tolvan/help/index.html")));
    }

    void noHandlerWithoutAssociations() {
        QVERIFY(desktopHandlers(QStringLiteral("application/vnd.ms-htmlhelp")).isEmpty());
        QVERIFY(!hasDesktopHandler(QStringLiteral("/x/Tolvan.chm")));
    }

    void anInstalledViewerOpensItsTypeAndAliases() {
        write(userApps() + QStringLiteral("/xchm.desktop"),
              desktopEntry("application/vnd.ms-htmlhelp;"));
        QCOMPARE(desktopHandlers(QStringLiteral("application/vnd.ms-htmlhelp")),
                 QStringList{QStringLiteral("xchm.desktop")});
        QVERIFY(hasDesktopHandler(QStringLiteral("/x/Tolvan.chm")));
        // Not a viewer for everything.
        QVERIFY(!hasDesktopHandler(QStringLiteral("/x/data.csv")));

        // A viewer that names the older alias of the type counts too.
        write(userApps() + QStringLiteral("/xchm.desktop"), desktopEntry("application/x-chm;"));
        QVERIFY(hasDesktopHandler(QStringLiteral("/x/Tolvan.chm")));
    }

    void systemEntriesInSubfoldersCount() {
        write(path(QStringLiteral("data-sys/applications/kde/chmview.desktop")),
              desktopEntry("application/vnd.ms-htmlhelp"));
        QCOMPARE(desktopHandlers(QStringLiteral("application/vnd.ms-htmlhelp")),
                 QStringList{QStringLiteral("kde-chmview.desktop")});
    }

    void hiddenAndRemovedEntriesDoNotCount() {
        write(userApps() + QStringLiteral("/xchm.desktop"),
              desktopEntry("application/vnd.ms-htmlhelp", "Hidden=true\n"));
        QVERIFY(!hasDesktopHandler(QStringLiteral("/x/Tolvan.chm")));

        // The user's copy hides the system's entry of the same id.
        write(path(QStringLiteral("data-sys/applications/xchm.desktop")),
              desktopEntry("application/vnd.ms-htmlhelp"));
        QVERIFY(!hasDesktopHandler(QStringLiteral("/x/Tolvan.chm")));
        QFile::remove(userApps() + QStringLiteral("/xchm.desktop"));
        QVERIFY(hasDesktopHandler(QStringLiteral("/x/Tolvan.chm")));

        // The user removed the association.
        write(path(QStringLiteral("config-home/mimeapps.list")),
              "[Removed Associations]\napplication/vnd.ms-htmlhelp=xchm.desktop;\n");
        QVERIFY(!hasDesktopHandler(QStringLiteral("/x/Tolvan.chm")));
    }

    void defaultsComeFirstAndMustBeInstalled() {
        write(path(QStringLiteral("data-sys/applications/a.desktop")),
              desktopEntry("application/vnd.ms-htmlhelp"));
        write(path(QStringLiteral("data-sys/applications/b.desktop")), desktopEntry("text/plain"));
        write(path(QStringLiteral("config-sys/mimeapps.list")),
              "# system choice\n[Default "
              "Applications]\napplication/vnd.ms-htmlhelp=gone.desktop;b.desktop\n");
        QCOMPARE(desktopHandlers(QStringLiteral("application/vnd.ms-htmlhelp")),
                 QStringList({QStringLiteral("b.desktop"), QStringLiteral("a.desktop")}));
        // An association to an application that is not installed opens nothing.
        QFile::remove(path(QStringLiteral("data-sys/applications/a.desktop")));
        QFile::remove(path(QStringLiteral("data-sys/applications/b.desktop")));
        QVERIFY(!hasDesktopHandler(QStringLiteral("/x/Tolvan.chm")));
        // An added association counts once the application is there.
        write(path(QStringLiteral("data-home/applications/mimeapps.list")),
              "[Added Associations]\napplication/vnd.ms-htmlhelp=c.desktop;\n");
        write(userApps() + QStringLiteral("/c.desktop"), desktopEntry("text/plain"));
        QCOMPARE(desktopHandlers(QStringLiteral("application/vnd.ms-htmlhelp")),
                 QStringList{QStringLiteral("c.desktop")});
    }

    // The built help beside the test programs, as beside the program.
    void openingShowsTheHtmlIndexWhenNoViewerIsThere() {
        const QString chm = QCoreApplication::applicationDirPath() + QStringLiteral("/Tolvan.chm");
        QVERIFY2(QFile::exists(chm), "the help is built beside the programs");
        OpenHelpFile();
        QCOMPARE(m_recorder.opened.size(), 1);
        QCOMPARE(m_recorder.opened.at(0),
                 QUrl::fromLocalFile(QCoreApplication::applicationDirPath() +
                                     QStringLiteral("/help/index.html")));
    }

    void openingUsesTheViewerWhenThereIsOne() {
        write(userApps() + QStringLiteral("/xchm.desktop"),
              desktopEntry("application/vnd.ms-htmlhelp;"));
        OpenHelpFile();
        QCOMPARE(m_recorder.opened,
                 QList<QUrl>{QUrl::fromLocalFile(QCoreApplication::applicationDirPath() +
                                                 QStringLiteral("/Tolvan.chm"))});
    }
};

QTEST_MAIN(TestHelpFile)
#include "tst_helpfile.moc"
