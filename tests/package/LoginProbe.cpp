// Preloaded into the installed program by deb-check.sh: reports once the connection dialog
// shows, with what it shows, and ends the program. The program itself is not changed.
#include <QApplication>
#include <QRadioButton>
#include <QTimer>
#include <QWidget>
#include <cstdio>
#include <cstdlib>

namespace {
void report() {
    const QWidgetList windows = QApplication::topLevelWidgets();
    for (QWidget* w : windows) {
        if (w->objectName() != QLatin1String("frmLogin") || !w->isVisible()) continue;
        QStringList kinds;
        for (auto* option : w->findChildren<QRadioButton*>())
            kinds << option->text();
        std::printf("connection dialog shown: title=%s kinds=%s icon=%s\n",
                    qPrintable(w->windowTitle()), qPrintable(kinds.join(QLatin1Char('|'))),
                    QApplication::windowIcon().isNull() ? "none" : "yes");
        std::fflush(stdout);
        QCoreApplication::exit(0);
        return;
    }
    QTimer::singleShot(100, qApp, report);
}

void start() {
    // Runs in the application's constructor: wait for its event loop.
    QMetaObject::invokeMethod(
        qApp,
        [] {
            // A hang guard, not a measure: a dialog that never shows ends the probe.
            QTimer::singleShot(30000, qApp, [] {
                std::printf("connection dialog not shown after 30 s\n");
                std::fflush(stdout);
                std::_Exit(3);
            });
            QTimer::singleShot(0, qApp, report);
        },
        Qt::QueuedConnection);
}
} // namespace

Q_COREAPP_STARTUP_FUNCTION(start)
