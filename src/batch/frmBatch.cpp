#include "frmBatch.h"

#include "BatchFileLoader.h"
#include "BatchLog.h"
#include "BatchRunners.h"
#include "BatchTexts.h"
#include "ExportAll.h"
#include "help/HelpFile.h"
#include "help/frmAbout.h"
#include "options/SettingsKeys.h"
#include "widgets/Twips.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QFileDialog>
#include <QKeyEvent>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTextCursor>
#include <QVBoxLayout>

namespace {
// Design sizes in twips.
constexpr int kClientWidth = 7620, kClientHeight = 6120;
constexpr int kMinimumWidth = 6660, kMinimumHeight = 3675;

// "Description (*.txt)|*.txt|..." as the platform dialog wants it: the descriptions only.
QString dialogFilter(const QString& filter) {
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList descriptions;
    for (qsizetype i = 0; i < parts.size(); i += 2)
        descriptions << parts[i];
    return descriptions.join(QLatin1String(";;"));
}

QString toBoxText(const QString& text) {
    return QString(text).replace(batchtext::kCrLf, QLatin1String("\n"));
}
QString fromBoxText(const QString& text) {
    return QString(text).replace(QLatin1Char('\n'), batchtext::kCrLf);
}
} // namespace

frmBatch::frmBatch(BatchState& state, db::Connection* connection, std::optional<QStringList> tables,
                   QWidget* parent)
    : QDialog(parent), m_state(state), m_connection(connection), m_tables(std::move(tables)),
      m_pump([this] {
          m_progress.show();
          QCoreApplication::processEvents();
      }) {
    setObjectName(QStringLiteral("frmBatch"));
    showMessageBox = [this](const QString& text) {
        QMessageBox::information(this, kApplicationName, text, QMessageBox::Ok);
    };
    showQuestion = [this](const QString& text) {
        return QMessageBox::question(this, kApplicationName, text,
                                     QMessageBox::Ok | QMessageBox::Cancel,
                                     QMessageBox::Ok) == QMessageBox::Ok;
    };
    showFileDialog = [this](const QString& title, const QString& filter,
                            const QString& initialDir) {
        return QFileDialog::getOpenFileName(this, title, initialDir, dialogFilter(filter));
    };
    buildControls();
    buildMenus();
    Form_Load();
}

frmBatch::~frmBatch() = default;

void frmBatch::buildControls() {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    m_menuBar = new QMenuBar(this);
    m_menuBar->setObjectName(QStringLiteral("menuBar"));
    layout->setMenuBar(m_menuBar);
    m_client = new QWidget(this);
    m_client->setObjectName(QStringLiteral("client"));
    layout->addWidget(m_client);

    cboBatch = new QComboBox(m_client);
    cboBatch->setObjectName(QStringLiteral("cboBatch"));
    cboBatch->setEditable(false);
    setTwipsGeometry(cboBatch, 30, 90, 3675, 300);

    cmdBatch = new QPushButton(batchtext::kExecute, m_client);
    cmdBatch->setObjectName(QStringLiteral("cmdBatch"));
    cmdBatch->setAutoDefault(false);
    cmdBatch->setDefault(false);
    setTwipsGeometry(cmdBatch, 3780, 60, 1935, 375);
    connect(cmdBatch, &QPushButton::clicked, this, &frmBatch::cmdBatch_Click);

    // Beside Execute, within the window's narrowest width; usable only while a batch runs.
    cmdStop = new QPushButton(batchtext::kStop, m_client);
    cmdStop->setObjectName(QStringLiteral("cmdStop"));
    cmdStop->setAutoDefault(false);
    cmdStop->setDefault(false);
    cmdStop->setEnabled(false);
    setTwipsGeometry(cmdStop, 5775, 60, 765, 375);
    connect(cmdStop, &QPushButton::clicked, this, &frmBatch::cmdStop_Click);

    const auto textBox = [this](const char* name) {
        auto* box = new QPlainTextEdit(m_client);
        box->setObjectName(QString::fromLatin1(name));
        box->setLineWrapMode(QPlainTextEdit::NoWrap);
        box->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        box->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        box->installEventFilter(this);
        return box;
    };
    txtBatch = textBox("txtBatch");
    setTwipsGeometry(txtBatch, 30, 480, 7545, 3555);
    txtBatchLog = textBox("txtBatchLog");
    txtBatchLog->setReadOnly(true);
    // Thousands of entries: no undo history behind them.
    txtBatchLog->setUndoRedoEnabled(false);
    QPalette palette = txtBatchLog->palette();
    palette.setColor(QPalette::Base, palette.color(QPalette::Button));
    txtBatchLog->setPalette(palette);
    setTwipsGeometry(txtBatchLog, 30, 4080, 7545, 1695);

    ProgressBar1 = new QProgressBar(m_client);
    ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
    ProgressBar1->setRange(0, 100);
    ProgressBar1->setValue(0);
    ProgressBar1->setTextVisible(false);
    setTwipsGeometry(ProgressBar1, 30, 5820, 7545, 255);
    m_progress = SlicedProgress(ProgressBar1);

    setTabOrder(cboBatch, cmdBatch);
    // A run that disables Execute leaves the focus on the stop button.
    setTabOrder(cmdBatch, cmdStop);
    setTabOrder(cmdStop, txtBatch);
    setTabOrder(txtBatch, txtBatchLog);
}

void frmBatch::buildMenus() {
    const auto item = [](QMenu* menu, const char* name, const QString& caption) {
        QAction* a = menu->addAction(caption);
        a->setObjectName(QString::fromLatin1(name));
        return a;
    };
    mnuFile = m_menuBar->addMenu(batchtext::kMenuFile);
    mnuFile->setObjectName(QStringLiteral("mnuFile"));
    mnuReadFile = item(mnuFile, "mnuReadFile", batchtext::kMenuReadFile);
    mnuFile->addSeparator();
    mnuEnd = item(mnuFile, "mnuEnd", batchtext::kMenuEnd);
    mnuHelp = m_menuBar->addMenu(batchtext::kMenuHelp);
    mnuHelp->setObjectName(QStringLiteral("mnuHelp"));
    mnuIndex = item(mnuHelp, "mnuIndex", batchtext::kMenuIndex);
    mnuHelp->addSeparator();
    mnuAbout = item(mnuHelp, "mnuAbout", batchtext::kMenuAbout);

    connect(mnuReadFile, &QAction::triggered, this, &frmBatch::mnuReadFile_Click);
    connect(mnuEnd, &QAction::triggered, this, &frmBatch::mnuEnd_Click);
    connect(mnuIndex, &QAction::triggered, this, &frmBatch::mnuIndex_Click);
    connect(mnuAbout, &QAction::triggered, this, &frmBatch::mnuAbout_Click);
}

void frmBatch::Form_Load() {
    m_state.BatchRunning = false;
    const int dpi = logicalDpiX();
    resize(twipsToPixels(kClientWidth, dpi),
           twipsToPixels(kClientHeight, dpi) + m_menuBar->sizeHint().height());
    if (!m_state.metricsCaptured) {
        m_state.initialWindow = size();
        m_state.initialCommandBox = txtBatch->size();
        m_state.initialLogWidth = txtBatchLog->width();
        m_state.initialLogTop = txtBatchLog->y();
        m_state.initialBarWidth = ProgressBar1->width();
        m_state.initialBarTop = ProgressBar1->y();
        m_state.metricsCaptured = true;
    }
    setWindowTitle(kApplicationName + batchtext::kCaptionSuffix);
    applySavedPosition();

    const bool allTables = m_tables.has_value();
    for (int code = 0; code < (allTables ? 6 : 4); ++code)
        cboBatch->addItem(batchtext::kModes[code], code);
    cboBatch->setCurrentIndex(0);

    setCommandText(m_state.SavedBatchText);
    txtBatchLog->setPlainText(toBoxText(m_state.SavedBatchLog));
}

void frmBatch::applySavedPosition() {
    const int dpi = logicalDpiX();
    // A value that is not a number reads as 0 and is left alone like a missing one.
    const auto saved = [](const SettingKey& key) { return ReadSetting(key).trimmed().toDouble(); };
    if (const double left = saved(keys::BatchLeft); left > 0)
        move(twipsToPixels(int(left), dpi), y());
    if (const double top = saved(keys::BatchTop); top > 0) move(x(), twipsToPixels(int(top), dpi));
    if (const double height = saved(keys::BatchHeight); height > 0)
        resize(width(), twipsToPixels(int(height), dpi));
    if (const double width = saved(keys::BatchWidth); width > 0)
        resize(twipsToPixels(int(width), dpi), height());
}

void frmBatch::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    const int dpi = logicalDpiX();
    // The minimum is an outer size; the frame is what the platform adds around the client.
    const QSize frame = frameGeometry().size() - size();
    const QSize minimum(twipsToPixels(kMinimumWidth, dpi) - frame.width(),
                        twipsToPixels(kMinimumHeight, dpi) - frame.height());
    if (minimumSize() != minimum) setMinimumSize(minimum);
    if (!m_state.metricsCaptured) return;
    const int w = width(), h = height();
    const QSize& w0 = m_state.initialWindow;
    const int commandWidth = w - (w0.width() - m_state.initialCommandBox.width());
    const int commandHeight = h - (w0.height() - m_state.initialCommandBox.height());
    if (commandWidth >= 0 && commandHeight >= 0) txtBatch->resize(commandWidth, commandHeight);
    const int logWidth = w - (w0.width() - m_state.initialLogWidth);
    const int logTop = h - (w0.height() - m_state.initialLogTop);
    if (logWidth >= 0 && logTop >= 0)
        txtBatchLog->setGeometry(txtBatchLog->x(), logTop, logWidth, txtBatchLog->height());
    const int barWidth = w - (w0.width() - m_state.initialBarWidth);
    const int barTop = h - (w0.height() - m_state.initialBarTop);
    if (barWidth >= 0 && barTop >= 0)
        ProgressBar1->setGeometry(ProgressBar1->x(), barTop, barWidth, ProgressBar1->height());
}

// Closing -------------------------------------------------------------------------------

bool frmBatch::Form_Unload() {
    if (m_state.BatchRunning) return false;
    if (!(windowState() & (Qt::WindowMinimized | Qt::WindowMaximized | Qt::WindowFullScreen))) {
        const int dpi = logicalDpiX();
        const QPoint corner = frameGeometry().topLeft();
        WriteSetting(keys::BatchLeft, QString::number(pixelsToTwips(corner.x(), dpi)));
        WriteSetting(keys::BatchTop, QString::number(pixelsToTwips(corner.y(), dpi)));
        WriteSetting(keys::BatchHeight, QString::number(pixelsToTwips(height(), dpi)));
        WriteSetting(keys::BatchWidth, QString::number(pixelsToTwips(width(), dpi)));
    }
    m_state.SavedBatchText = commandText();
    m_state.SavedBatchLog = logText();
    return true;
}

void frmBatch::closeEvent(QCloseEvent* event) {
    if (!Form_Unload()) {
        event->ignore();
        return;
    }
    event->accept();
    done(QDialog::Rejected);
}

void frmBatch::reject() {
    close();
}

void frmBatch::mnuEnd_Click() {
    close();
}

void frmBatch::keyPressEvent(QKeyEvent* event) {
    // The batch window is a plain window: Escape does not close it. During a run it asks the
    // run to stop, as the stop button does.
    if (event->key() == Qt::Key_Escape) {
        if (m_state.BatchRunning) cmdStop_Click();
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

bool frmBatch::eventFilter(QObject* watched, QEvent* event) {
    if ((watched == txtBatch || watched == txtBatchLog) && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        // Ctrl+A selects all whatever else is held (txtBatch_KeyDown, txtBatchLog_KeyDown).
        if (key->key() == Qt::Key_A && (key->modifiers() & Qt::ControlModifier)) {
            static_cast<QPlainTextEdit*>(watched)->selectAll();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

// Commands ------------------------------------------------------------------------------

void frmBatch::cmdBatch_Click() {
    if (!m_connection || m_state.BatchRunning) return;
    switch (cboBatch->currentData().toInt()) {
    case 0:
        return BatchImportCSV(*m_connection, *this);
    case 1:
        return BatchImportTAB(*m_connection, *this);
    case 2:
        return BatchExportCSV(*m_connection, *this);
    case 3:
        return BatchExportTAB(*m_connection, *this);
    case 4:
        return exportAll(false);
    case 5:
        return exportAll(true);
    }
}

void frmBatch::cmdStop_Click() {
    if (m_state.BatchRunning) m_abortRequested = true;
}

void frmBatch::exportAll(bool tab) {
    const QStringList tables = m_tables.value_or(QStringList());
    if (tab)
        ExportAllTAB(*m_connection, tables, *this);
    else
        ExportAllCSV(*m_connection, tables, *this);
}

void frmBatch::mnuReadFile_Click() {
    ReadBatchFile(*this, QCoreApplication::applicationDirPath() + QLatin1Char('/'));
}

void frmBatch::mnuIndex_Click() {
    const QString report = OpenHelpFile();
    if (!report.isEmpty()) showMessage(report);
}

// Centred on the main window behind, not on this one.
void frmBatch::mnuAbout_Click() {
    ShowAboutBox(this, parentWidget(), m_connection);
}

// BatchFeedback -------------------------------------------------------------------------

QString frmBatch::commandText() const {
    return fromBoxText(txtBatch->toPlainText());
}

void frmBatch::setCommandText(const QString& text) {
    txtBatch->setPlainText(toBoxText(text));
}

QString frmBatch::logText() const {
    return fromBoxText(txtBatchLog->toPlainText());
}

void frmBatch::SetControlsEnabled(bool enabled) {
    if (!enabled) {
        QWidget* focus = QApplication::focusWidget();
        m_focusBeforeRun = (focus && isAncestorOf(focus)) ? focus : nullptr;
    }
    cboBatch->setEnabled(enabled);
    cmdBatch->setEnabled(enabled);
    // A disabled menu takes its items with it.
    for (QMenu* menu : {mnuFile, mnuHelp}) {
        menu->menuAction()->setEnabled(enabled);
        for (QAction* a : menu->actions())
            a->setEnabled(enabled);
    }
    txtBatch->setEnabled(enabled);
    m_progress.reset();
    if (enabled && m_focusBeforeRun) {
        m_focusBeforeRun->setFocus();
        m_focusBeforeRun = nullptr;
    }
}

void frmBatch::AppendLog(const QString& subject, const QString& detail, bool success) {
    QTextCursor cursor(txtBatchLog->document());
    cursor.movePosition(QTextCursor::Start);
    cursor.insertText(
        toBoxText(BatchLogEntry(QDateTime::currentDateTime(), subject, detail, success)));
    txtBatchLog->viewport()->update();
    doEvents();
}

void frmBatch::setBatchRunning(bool running) {
    m_state.BatchRunning = running;
    // Enabled before Execute goes grey, so that the focus moves on to it.
    cmdStop->setEnabled(running);
}

// Set after every row; shown with the next events.
void frmBatch::setProgress(int value) {
    m_progress.set(value);
}

void frmBatch::doEvents() {
    m_pump();
}

void frmBatch::showMessage(const QString& text) {
    if (showMessageBox) showMessageBox(text);
}

bool frmBatch::askQuestion(const QString& text) {
    return showQuestion && showQuestion(text);
}

QString frmBatch::showOpenDialog(const QString& title, const QString& filter,
                                 const QString& initialDir) {
    return showFileDialog ? showFileDialog(title, filter, initialDir) : QString();
}
