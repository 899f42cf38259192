// Times the transfers through the real windows, as the user waits for them: the command from
// its menu or button, the file dialog answered with FILE, until the window is free again (an
// import's rows read again included).
//
//   tolvan-windowbench export|import|drop "<connection string>" "<sql>" FILE csv|tab
//   tolvan-windowbench html|excel "<connection string>" "<sql>"
//   tolvan-windowbench batch-import|batch-export "<connection string>" TABLE FILE csv|tab
//   tolvan-windowbench export-all "<connection string>" TABLE FOLDER csv|tab
//   tolvan-windowbench escape "<connection string>" "<sql>" FILE csv|tab
//
// The statement runs first as the current result. escape starts the import of FILE, presses
// Escape after a second from another thread, as the window system delivers a key, and times
// until the question is on screen; it answers OK. Prints "seconds=S paints=P busiest_paints=B
// busiest=NAME status=..." (paints: of every widget; busiest: of the widget painted most) and
// for escape "escape_to_question=S". Run on a real X server or offscreen.
#include "BenchOptions.h"
#include "PaintCounter.h"

#include "app/WaitPanel.h"
#include "app/frmKorvel.h"
#include "batch/frmBatch.h"
#include "db/ConnectionRecord.h"
#include "query/ProgramState.h"
#include "transfer/TransferTexts.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDesktopServices>
#include <QDropEvent>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QLabel>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QUrl>
#include <QWindow>
#include <atomic>
#include <cstdio>
#include <thread>

namespace {
void untilIdle(frmKorvel& window, ProgramState& state) {
    while (state.statements.isRunning() || window.operationRunning())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

// The question's panel on screen: the time it showed, and OK pressed after it.
class QuestionWatch : public QObject {
public:
    QuestionWatch(WaitPanel* panel, const QElapsedTimer& clock) : m_panel(panel), m_clock(clock) {}
    std::atomic<qint64> pressedNs{-1};
    double seconds = -1;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint && seconds < 0 && pressedNs >= 0 &&
            m_panel->message().contains(kAbortQuestion)) {
            seconds = double(m_clock.nsecsElapsed() - pressedNs) / 1e9;
            QMetaObject::invokeMethod(m_panel->okButton(), &QPushButton::click,
                                      Qt::QueuedConnection);
        }
        return false;
    }

private:
    WaitPanel* m_panel;
    const QElapsedTimer& m_clock;
};

// A report in the message panel would wait for a user: it is printed and answered.
class PanelAnswerer : public QObject {
public:
    explicit PanelAnswerer(WaitPanel* panel) : m_panel(panel) {}

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint && m_panel->okButton()->isEnabled() &&
            !m_panel->message().contains(kAbortQuestion) && m_panel->message() != m_answered) {
            m_answered = m_panel->message();
            std::fprintf(stderr, "panel: %s\n", qPrintable(m_answered));
            QMetaObject::invokeMethod(m_panel->okButton(), &QPushButton::click,
                                      Qt::QueuedConnection);
        }
        return false;
    }

private:
    WaitPanel* m_panel;
    QString m_answered;
};

// Runs a batch in the batch window, opened as the main window opens it; timed from its
// Execute button.
void runBatch(frmKorvel& window, QElapsedTimer& clock, db::Connection* connection, int mode,
              const QString& line, const QStringList& tables) {
    BatchState batchState;
    frmBatch batch(batchState, connection, tables, &window);
    batch.show();
    QApplication::processEvents();
    batch.findChild<QComboBox*>(QStringLiteral("cboBatch"))->setCurrentIndex(mode);
    batch.setCommandText(line);
    clock.restart();
    batch.findChild<QPushButton*>(QStringLiteral("cmdBatch"))->click();
    std::fprintf(stderr, "%s\n", qPrintable(batch.logText()));
}
} // namespace

class DesktopStub : public QObject {
    Q_OBJECT
public slots:
    void open(const QUrl&) {}
};

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    if (args.size() < 3) {
        std::fprintf(stderr, "usage: see the head of tolvan_windowbench.cpp\n");
        return 2;
    }
    const QString mode = args[0];
    const bool tab = args.value(4) == QLatin1String("tab");
    // The dialogs' folders are saved as settings, the workbook goes to the cache: keep both out
    // of the user's own.
    QTemporaryDir scratch;
    qputenv("XDG_CONFIG_HOME", scratch.filePath(QStringLiteral("config")).toUtf8());
    qputenv("XDG_CACHE_HOME", scratch.filePath(QStringLiteral("cache")).toUtf8());
    DesktopStub desktop;
    QDesktopServices::setUrlHandler(QStringLiteral("file"), &desktop, "open");

    db::ConnectionRecord record;
    record.adoConnection = std::make_unique<db::Connection>();
    record.adoConnection->setConnectionString(args[1]);
    applyBenchOptions(*record.adoConnection);
    if (!record.adoConnection->Open()) return 1;
    ProgramState state(record);
    frmKorvel window(state);
    window.show();
    QApplication::processEvents();
    const bool batchMode = mode.startsWith(QLatin1String("batch-")) || mode == "export-all";
    if (!batchMode) {
        window.findChild<QPlainTextEdit*>(QStringLiteral("txtQuery"))->setPlainText(args[2]);
        window.ExecuteQueryBox();
        untilIdle(window, state);
        if (!state.resultOpen) return 1;
    }
    const QString file = args.value(3);
    window.showFileDialog = [file, &scratch](bool save, const QString&, const QString&,
                                             const QString&) {
        return save && file.isEmpty() ? scratch.filePath(QStringLiteral("Book1.xlsx")) : file;
    };
    QApplication::processEvents();

    PanelAnswerer answerer(window.waitPanel());
    window.waitPanel()->installEventFilter(&answerer);
    PaintCounter paints;
    app.installEventFilter(&paints);
    QElapsedTimer clock;
    QuestionWatch question(window.waitPanel(), clock);
    std::thread escape;
    clock.start();
    if (mode == QLatin1String("export")) {
        window.action(tab ? QStringLiteral("mnuTab") : QStringLiteral("mnuCSV"))->trigger();
    } else if (mode == QLatin1String("import") || mode == QLatin1String("escape")) {
        if (mode == QLatin1String("escape")) {
            window.waitPanel()->installEventFilter(&question);
            // Where the window system delivers a key: the window, which hands it to the
            // control with the focus.
            QWindow* handle = window.windowHandle();
            escape = std::thread([&question, &clock, handle] {
                std::this_thread::sleep_for(std::chrono::seconds(1));
                question.pressedNs = clock.nsecsElapsed();
                QCoreApplication::postEvent(
                    handle, new QKeyEvent(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier));
                QCoreApplication::postEvent(
                    handle, new QKeyEvent(QEvent::KeyRelease, Qt::Key_Escape, Qt::NoModifier));
            });
        }
        window.action(tab ? QStringLiteral("mnuImportTAB") : QStringLiteral("mnuImportCSV"))
            ->trigger();
    } else if (mode == QLatin1String("drop")) {
        QMimeData mime;
        mime.setUrls({QUrl::fromLocalFile(file)});
        QWidget* target = window.findChild<QWidget*>(QStringLiteral("client"));
        const QPoint pos = target->rect().center();
        QDragEnterEvent enter(pos, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target, &enter);
        QDropEvent dropped(QPointF(pos), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target, &dropped);
        // The import starts once the drop has been answered.
        QApplication::processEvents();
    } else if (mode == QLatin1String("html")) {
        window.action(QStringLiteral("mnuHTML"))->trigger();
    } else if (mode == QLatin1String("excel")) {
        window.action(QStringLiteral("mnuExcel"))->trigger();
    } else if (batchMode) {
        const QString table = args[2];
        const int base = tab ? 1 : 0;
        if (mode == QLatin1String("batch-import"))
            runBatch(window, clock, record.adoConnection.get(), base, table + ", " + file, {});
        else if (mode == QLatin1String("batch-export"))
            runBatch(window, clock, record.adoConnection.get(), 2 + base, table + ", " + file, {});
        else
            runBatch(window, clock, record.adoConnection.get(), 4 + base, file, {table});
    } else {
        std::fprintf(stderr, "unknown mode %s\n", qPrintable(mode));
        return 2;
    }
    untilIdle(window, state);
    const double seconds = double(clock.nsecsElapsed()) / 1e9;
    if (escape.joinable()) escape.join();
    app.removeEventFilter(&paints);
    std::printf("seconds=%.3f paints=%d busiest_paints=%d busiest=%s status=%s\n", seconds,
                paints.total(), paints.busiest(), qPrintable(paints.busiestName()),
                qPrintable(window.findChild<QLabel*>(QStringLiteral("status"))->text()));
    if (mode == QLatin1String("escape")) std::printf("escape_to_question=%.3f\n", question.seconds);
    QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
    return 0;
}

#include "tolvan_windowbench.moc"
