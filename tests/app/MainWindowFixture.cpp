#include "MainWindowFixture.h"

#include "TestBackends.h"
#include "app/WaitPanel.h"

#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <utility>

namespace {
// Longer than any test takes to answer a prompt of its own.
constexpr qint64 kPatienceMs = 2000;
} // namespace

void MainWindowFixture::ownSettings() {
    m_dir = std::make_unique<QTemporaryDir>();
    qputenv("XDG_CONFIG_HOME", m_dir->path().toUtf8());
}

bool MainWindowFixture::connectTo(const QString& backend, db::ConnectionKind kind) {
    m_record = db::ConnectionRecord();
    m_record.kind = kind;
    m_record.adoConnection = std::make_unique<db::Connection>();
    if (!backend.startsWith(QLatin1String("Provider=")))
        return testdb::open(*m_record.adoConnection, backend);
    m_record.adoConnection->setConnectionString(backend);
    if (m_record.adoConnection->Open()) return true;
    QTest::qFail(qPrintable(backend + QStringLiteral(": ") +
                            testdb::describe(m_record.adoConnection->Errors())),
                 __FILE__, __LINE__);
    return false;
}

bool MainWindowFixture::idle() {
    // Generous: a hang fails, a slow machine does not.
    return QTest::qWaitFor(
        [this] { return !m_state->statements.isRunning() && !m_window->operationRunning(); },
        60000);
}

bool MainWindowFixture::showWindow(OtherPrompts otherPrompts) {
    // A window goes before the state it was given.
    m_window.reset();
    m_state = std::make_unique<ProgramState>(m_record);
    m_window = std::make_unique<frmKorvel>(*m_state);
    m_window->show();
    // Menu shortcuts work in the active window only.
    QApplication::setActiveWindow(m_window.get());
    if (!QTest::qWaitForWindowActive(m_window.get())) return false;
    m_otherPrompts = otherPrompts;
    m_answers.clear();
    m_prompts.clear();
    m_unexpected.clear();
    m_waiting.clear();
    auto* timer = new QTimer(m_window.get());
    QObject::connect(timer, &QTimer::timeout, m_window.get(), [this] { guard(); });
    timer->start(5);
    return true;
}

// A prompt waits in a nested event loop: without an answer the test would wait for ever.
void MainWindowFixture::guard() {
    WaitPanel* panel = m_window->waitPanel();
    const bool asking = panel->isVisible() && panel->okButton()->isEnabled();
    if (asking && (!m_answers.isEmpty() || m_otherPrompts == OtherPrompts::PressOk)) {
        m_prompts << panel->message();
        const bool cancel = !m_answers.isEmpty() && m_answers.takeFirst() == PanelAnswer::Cancel;
        (cancel ? panel->cancelButton() : panel->okButton())->click();
        return;
    }
    QWidget* waiting = asking ? panel : QApplication::activeModalWidget();
    if (waiting != m_waiting) {
        m_waiting = waiting;
        m_waitingFor.start();
        return;
    }
    if (!waiting || m_waitingFor.elapsed() < kPatienceMs) return;
    m_waiting.clear();
    if (waiting == panel) {
        m_unexpected << QStringLiteral("prompt: ") + panel->message();
        panel->okButton()->click();
    } else if (auto* dialog = qobject_cast<QDialog*>(waiting)) {
        m_unexpected << QStringLiteral("dialog: ") + dialog->windowTitle();
        dialog->reject();
    } else {
        m_unexpected << QStringLiteral("window: ") + waiting->windowTitle();
        waiting->close();
    }
}

void MainWindowFixture::closeWindow() {
    m_window.reset();
    m_state.reset();
    m_record.adoConnection.reset();
    const QStringList unexpected = std::exchange(m_unexpected, {});
    QVERIFY2(unexpected.isEmpty(), qPrintable(QStringLiteral("unexpected ") +
                                              unexpected.join(QStringLiteral("\nunexpected "))));
    const qsizetype left = std::exchange(m_answers, {}).size();
    QVERIFY2(left == 0,
             qPrintable(QStringLiteral("%1 answers for prompts that never came").arg(left)));
}

QPlainTextEdit* MainWindowFixture::query() const {
    return m_window->findChild<QPlainTextEdit*>(QStringLiteral("txtQuery"));
}

QTableView* MainWindowFixture::grid() const {
    return m_window->findChild<QTableView*>(QStringLiteral("DataGrid1"));
}

QComboBox* MainWindowFixture::tables() const {
    return m_window->findChild<QComboBox*>(QStringLiteral("cboTableList"));
}

QString MainWindowFixture::status() const {
    return m_window->findChild<QLabel*>(QStringLiteral("status"))->text();
}
