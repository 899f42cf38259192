#include "frmKorvel.h"

#include "CompletionList.h"
#include "FindBar.h"
#include "GridTypeTable.h"
#include "RecordsetModel.h"
#include "ResultGrid.h"
#include "SqlHighlighter.h"
#include "StatusPanels.h"
#include "WaitPanel.h"
#include "common/BlankText.h"
#include "common/ErrorReport.h"
#include "db/ColumnCatalog.h"
#include "options/SettingsKeys.h"
#include "options/frmSetup.h"
#include "query/TableListRetrieval.h"
#include "query/modExecuteQuery.h"
#include "query/modKorvel.h"
#include "widgets/Twips.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFontDatabase>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTableView>
#include <QToolBar>
#include <algorithm>
#include <functional>

namespace {
// Design sizes in twips.
constexpr int kClientWidth = 11715, kClientHeight = 6615;
constexpr int kMinimumWidth = 7845, kMinimumHeight = 5600;
constexpr int kDesignLeft = 3810, kDesignTop = 4275;
constexpr std::array<int, 4> kPanelWidths = {4939, 2822, 2822,
                                             2540}; // database, user, datagrid, status

QFont queryFont() {
    // The designed font first, then the Japanese gothic fonts found on Linux desktops.
    QFont font;
    font.setFamilies({QStringLiteral("ＭＳ Ｐゴシック"), QStringLiteral("IPAPGothic"),
                      QStringLiteral("Noto Sans CJK JP"), QStringLiteral("VL PGothic")});
    font.setPointSizeF(9.75);
    return font;
}

QString programFolder() {
    return QCoreApplication::applicationDirPath() + QLatin1Char('/');
}
} // namespace

// The icons are compiled into this static library: register them before first use.
static void initIcons() {
    Q_INIT_RESOURCE(icons);
}

frmKorvel::frmKorvel(ProgramState& state, QWidget* parent)
    : QMainWindow(parent), m_state(state), m_events([this] {
          showPendingFeedback();
          QCoreApplication::processEvents();
      }) {
    initIcons();
    setObjectName(QStringLiteral("frmKorvel"));
    startSecondProcess = [] {
        return QProcess::startDetached(QCoreApplication::applicationFilePath(), {});
    };
    showSetup = [this] {
        frmSetup setup(this);
        setup.exec();
    };
    buildControls();
    buildMenus();
    buildToolbar();
    installDropTargets();
    Form_Load();
}

frmKorvel::~frmKorvel() {
    // A statement still running (the application quitting) ends here, while what it would
    // tell is still alive; it tells nothing.
    m_state.statements.stop();
    // The grid outlives this object's members while the widgets are torn down: it must not
    // call back into them when it loses the focus on the way.
    DataGrid1->lostFocus = nullptr;
    DataGrid1->rowColChange = nullptr;
    DataGrid1->commonKeyDown = nullptr;
    DataGrid1->deleteSelectedRows = nullptr;
    DataGrid1->copySelection = nullptr;
    DataGrid1->pasteCells = nullptr;
    DataGrid1->notEditable = nullptr;
}

void frmKorvel::buildControls() {
    const int dpi = logicalDpiX();
    m_client = new QWidget(this);
    m_client->setObjectName(QStringLiteral("client"));
    setCentralWidget(m_client);

    Toolbar1 = new QToolBar(m_client);
    Toolbar1->setObjectName(QStringLiteral("Toolbar1"));
    Toolbar1->setIconSize(QSize(16, 16));
    Toolbar1->setGeometry(0, 0, twipsToPixels(kClientWidth, dpi), twipsToPixels(390, dpi));

    cboTableList = new QComboBox;
    cboTableList->setObjectName(QStringLiteral("cboTableList"));
    cboTableList->setEditable(true);
    cboTableList->setInsertPolicy(QComboBox::NoInsert);
    cboTableList->setToolTip(QStringLiteral("テーブルリスト"));
    cboTableList->setFixedWidth(twipsToPixels(2685, dpi));
    cboTableList->lineEdit()->installEventFilter(this);
    // The editable combo box keeps the focus itself and hands keys to its line edit.
    cboTableList->installEventFilter(this);

    txtQuery = new QPlainTextEdit(m_client);
    txtQuery->setObjectName(QStringLiteral("txtQuery"));
    txtQuery->setToolTip(QStringLiteral("クエリボックス"));
    txtQuery->setFont(queryFont());
    m_highlighter = new SqlHighlighter(txtQuery->document());
    txtQuery->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setTwipsGeometry(txtQuery, 0, 390, 11710, 1305);
    txtQuery->installEventFilter(this);
    buildCompletion();

    DataGrid1 = new ResultGrid(m_client);
    DataGrid1->setObjectName(QStringLiteral("DataGrid1"));
    m_model = new RecordsetModel(DataGrid1);
    DataGrid1->setModel(m_model);
    // Uniform rows and no measuring of contents: a million rows show at once.
    DataGrid1->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    DataGrid1->verticalHeader()->setDefaultSectionSize(DataGrid1->fontMetrics().height() + 6);
    DataGrid1->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    setTwipsGeometry(DataGrid1, 0, 1710, 11715, 4485);
    DataGrid1->commonKeyDown = [this](int key, Qt::KeyboardModifiers modifiers) {
        CommonKeyDown(key, modifiers);
    };
    DataGrid1->rowColChange = [this] { DataGrid1_RowColChange(); };
    DataGrid1->lostFocus = [this] { ClearGridPanel(); };
    DataGrid1->deleteSelectedRows = [this] { DataGrid1_BeforeDelete(); };
    DataGrid1->copySelection = [this](bool withNames) { copyGridCells(withNames); };
    DataGrid1->pasteCells = [this] { pasteGridCells(); };
    installGridCopyMenu();
    connect(DataGrid1->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &frmKorvel::summarizeSelection);
    connect(m_model, &QAbstractItemModel::modelReset, this, &frmKorvel::summarizeSelection);
    // An edit changes what the selection sums up: read anew once the edits of this turn are in.
    m_summaryRestart.setSingleShot(true);
    connect(&m_summaryRestart, &QTimer::timeout, this, &frmKorvel::summarizeSelection);
    connect(m_model, &QAbstractItemModel::dataChanged, this, [this] { m_summaryRestart.start(0); });
    m_summaryTimer.setSingleShot(true);
    connect(&m_summaryTimer, &QTimer::timeout, this, &frmKorvel::summarizeSlice);
    m_gridTop = DataGrid1->y();
    buildFindBar();
    DataGrid1->notEditable = [this](const QModelIndex& index) {
        if (m_model->readOnly())
            UpdateStatusBar(kDatabaseReadOnly);
        else if (m_model->isComputed(index))
            UpdateStatusBar(kComputedColumnReadOnly);
    };
    connect(DataGrid1->horizontalHeader(), &QHeaderView::sectionClicked, this,
            &frmKorvel::DataGrid1_HeadClick);
    DataGrid1->horizontalHeader()->setSectionsClickable(true);
    // A header click marks or sorts; it selects nothing, so Delete can never take a column's
    // worth of rows.
    disconnect(DataGrid1->horizontalHeader(), &QHeaderView::sectionPressed, DataGrid1, nullptr);
    disconnect(DataGrid1->horizontalHeader(), &QHeaderView::sectionEntered, DataGrid1, nullptr);
    // Queued: the panel waits for its answer in a loop of its own, which must not run inside
    // the grid's commit of its editor.
    connect(
        m_model, &RecordsetModel::writeFailed, this,
        [this](qint32 number, const QString& source, const QString& description) {
            ShowMessagePanel(ErrorReport(number, source, description), true, false);
        },
        Qt::QueuedConnection);

    auto* statusPanels = new StatusPanels(m_client, kPanelWidths);
    StatusBar1 = statusPanels;
    panelDatabase = statusPanels->panel(StatusPanels::Database);
    panelUser = statusPanels->panel(StatusPanels::User);
    panelDataGrid = statusPanels->panel(StatusPanels::DataGrid);
    panelStatus = statusPanels->panel(StatusPanels::Status);
    panelSelection = statusPanels->selectionPanel();
    setTwipsGeometry(StatusBar1, 0, 1710 + 4485, kClientWidth, kClientHeight - 1710 - 4485);

    frameWait = new WaitPanel(m_client);
    m_progress = SlicedProgress(frameWait->progressBar());
    connect(frameWait, &WaitPanel::cancelPressed, this, [this] {
        if ((m_transfer.bImporting || m_transfer.bExporting || m_copying) && !m_transfer.bAbort)
            m_transfer.bAbort = true;
        CancelRunningStatement(m_state);
    });
    txtFocus = new QLineEdit(m_client);
    txtFocus->setObjectName(QStringLiteral("txtFocus"));
    txtFocus->setGeometry(0, 0, 1, 1);
    txtFocus->setEnabled(false);
    txtFocus->lower();

    m_client->resize(twipsToPixels(kClientWidth, dpi), twipsToPixels(kClientHeight, dpi));
}

void frmKorvel::Form_Load() {
    SetWindowEnabled(false);
    const int dpi = logicalDpiX();
    m_initialClient = QSize(twipsToPixels(kClientWidth, dpi), twipsToPixels(kClientHeight, dpi));
    m_initialGrid = DataGrid1->size();
    m_initialQueryWidth = txtQuery->width();
    resize(m_initialClient.width(), m_initialClient.height() + menuBar()->sizeHint().height());
    move(twipsToPixels(kDesignLeft, dpi), twipsToPixels(kDesignTop, dpi));
    applySavedPosition();
    setWindowTitle(kApplicationName);
    const QString shared =
        QStandardPaths::locate(QStandardPaths::GenericDataLocation, QStringLiteral("tolvan"),
                               QStandardPaths::LocateDirectory);
    frameWait->LoadWaitPictures(
        {programFolder(), shared.isEmpty() ? QString() : shared + QLatin1Char('/')},
        kApplicationName);
    UpdateStatusBar(QString());
    m_state.resultOpen = false;
    m_state.resultSet = std::make_shared<db::Recordset>();
    bindGrid(m_state.resultSet);
    applyGridSettings();
    if (const db::Connection* c = connection()) m_highlighter->setFamily(c->dialect().family);
    m_state.history = QueryHistory();
    applyHistoryState();
    DataGrid1->lastHeadColumn.clear();
    SetWindowEnabled(true);
    txtQuery->setFocus();
}

void frmKorvel::applySavedPosition() {
    const int dpi = logicalDpiX();
    const auto saved = [](const SettingKey& key) { return ReadSetting(key).toDouble(); };
    QRect frame(pos(), size());
    if (const double left = saved(keys::MainLeft); left > 0)
        frame.moveLeft(twipsToPixels(int(left), dpi));
    if (const double top = saved(keys::MainTop); top > 0)
        frame.moveTop(twipsToPixels(int(top), dpi));
    if (const double height = saved(keys::MainHeight); height > 0)
        frame.setHeight(twipsToPixels(int(height), dpi));
    if (const double width = saved(keys::MainWidth); width > 0)
        frame.setWidth(twipsToPixels(int(width), dpi));
    move(frame.topLeft());
    resize(frame.size());
}

void frmKorvel::saveWindowPosition() {
    if (windowState() & (Qt::WindowMinimized | Qt::WindowMaximized | Qt::WindowFullScreen)) return;
    const int dpi = logicalDpiX();
    const QRect frame = frameGeometry();
    const QSize client = size();
    WriteSetting(keys::MainLeft, QString::number(pixelsToTwips(frame.x(), dpi)));
    WriteSetting(keys::MainTop, QString::number(pixelsToTwips(frame.y(), dpi)));
    WriteSetting(keys::MainHeight, QString::number(pixelsToTwips(client.height(), dpi)));
    WriteSetting(keys::MainWidth, QString::number(pixelsToTwips(client.width(), dpi)));
}

void frmKorvel::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    const int dpi = logicalDpiX();
    const QSize minimum(twipsToPixels(kMinimumWidth, dpi), twipsToPixels(kMinimumHeight, dpi));
    if (minimumSize() != minimum) setMinimumSize(minimum);
    if (!m_client || m_initialClient.isEmpty()) return;
    const int w = m_client->width(), h = m_client->height();
    layoutGrid(w - (m_initialClient.width() - m_initialGrid.width()),
               h - (m_initialClient.height() - m_initialGrid.height()));
    txtQuery->resize(w - (m_initialClient.width() - m_initialQueryWidth), txtQuery->height());
    Toolbar1->resize(w, Toolbar1->height());
    StatusBar1->setGeometry(0, DataGrid1->geometry().bottom() + 1, w,
                            h - DataGrid1->geometry().bottom() - 1);
    if (frameWait->isVisible()) centrePanel();
}

void frmKorvel::closeEvent(QCloseEvent* event) {
    if (operationRunning()) {
        // An operation is running: ask it to stop instead of closing under it.
        m_transfer.bAbort = true;
        event->ignore();
        return;
    }
    ShowBusy(QString(), false, false);
    saveWindowPosition();
    bindGrid(nullptr);
    if (m_state.resultOpen && !m_state.resultSet->Close()) {
        // Rows added in the grid that the database did not take: said before the window goes.
        const db::Error e =
            m_state.resultSet->Errors().empty() ? db::Error{} : m_state.resultSet->Errors().front();
        ShowMessagePanel(ErrorReport(e.Number, e.Source, e.Description), true, false);
    }
    m_state.resultSet.reset();
    m_state.resultOpen = false;
    if (m_state.connection.adoConnection) m_state.connection.adoConnection->Close();
    deleteTemporaryPages();
    event->accept();
}

// Commands ------------------------------------------------------------------------------

void frmKorvel::RequeryResult() {
    ::RequeryResult(m_state, *this);
}

void frmKorvel::applyHistoryState() {
    const bool back = m_state.history.backwardEnabled(), forward = m_state.history.forwardEnabled();
    setItemEnabled(mnuQueryBackward, back);
    setItemEnabled(mnuQueryForward, forward);
    tbBackward->setEnabled(back);
    tbForward->setEnabled(forward);
}

void frmKorvel::AddToHistory(const QString& statement) {
    m_state.history.AddToHistory(statement);
    applyHistoryState();
}

void frmKorvel::HistoryBackward() {
    txtQuery->setPlainText(m_state.history.HistoryBackward());
    applyHistoryState();
    txtQuery->setFocus();
    txtQuery->selectAll();
}

void frmKorvel::HistoryForward() {
    txtQuery->setPlainText(m_state.history.HistoryForward());
    applyHistoryState();
    txtQuery->setFocus();
    txtQuery->selectAll();
}

void frmKorvel::mnuNewQuery_Click() {
    const WindowLock lock(*this);
    txtQuery->setPlainText(QString());
}

void frmKorvel::mnuNewConnection_Click() {
    const WindowLock lock(*this);
    // The new window opens at its design position, not on top of this one.
    WriteSetting(keys::MainLeft, QStringLiteral("0"));
    WriteSetting(keys::MainTop, QStringLiteral("0"));
    if (startSecondProcess) startSecondProcess();
}

// Keys ----------------------------------------------------------------------------------

void frmKorvel::CommonKeyDown(int key, Qt::KeyboardModifiers modifiers) {
    // While an operation holds the window only Escape (its abort request) acts.
    const bool idle = !windowLocked();
    if (key == Qt::Key_F5 && idle) RequeryResult();
    if (key == Qt::Key_Escape) {
        if (!m_transfer.bAbort) m_transfer.bAbort = true;
        CancelRunningStatement(m_state);
    }
    if ((modifiers & ~Qt::KeypadModifier) == Qt::AltModifier && idle) {
        if (key == Qt::Key_Left && mnuQueryBackward->isEnabled()) HistoryBackward();
        if (key == Qt::Key_Right && mnuQueryForward->isEnabled()) HistoryForward();
    }
}

bool frmKorvel::keysGoToCommonHandler() const {
    if (m_panelWaiting) return false;
    const QWidget* focus = QApplication::focusWidget();
    return !(focus && (focus == cboTableList || cboTableList->isAncestorOf(focus)));
}

void frmKorvel::keyPressEvent(QKeyEvent* event) {
    // Keys that no control took: those of the query box and the grid never get here, they
    // hand theirs over themselves.
    if (keysGoToCommonHandler()) CommonKeyDown(event->key(), event->modifiers());
    QMainWindow::keyPressEvent(event);
}

bool frmKorvel::eventFilter(QObject* watched, QEvent* event) {
    if (dropFilter(watched, event)) return true;
    if (event->type() == QEvent::KeyPress &&
        (watched == cboTableList || watched == cboTableList->lineEdit())) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if ((key == Qt::Key_Return || key == Qt::Key_Enter) && !cboTableList->view()->isVisible()) {
            OpenSelectedTable();
            return true;
        }
        return false;
    }
    if (event->type() == QEvent::FocusOut && watched == txtQuery) m_completion->hide();
    if (event->type() == QEvent::KeyPress && watched == txtQuery) {
        auto* key = static_cast<QKeyEvent*>(event);
        // The keys that choose go to the list while it shows, and nowhere else.
        if (m_completion->handleKey(key)) return true;
        if (key->modifiers() & Qt::ControlModifier) {
            if (key->key() == Qt::Key_A) {
                txtQuery->selectAll();
                return true;
            }
            return false; // Ctrl+E, Ctrl+R and Ctrl+N reach their menu items as shortcuts
        }
        if (!isCommonKey(key->key(), key->modifiers())) return false;
        // Handled once here, and kept from reaching the window's own handler.
        if (keysGoToCommonHandler()) CommonKeyDown(key->key(), key->modifiers());
        return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

void frmKorvel::mnuSetup_Click() {
    if (showSetup) showSetup();
    applyGridSettings();
}

void frmKorvel::applyGridSettings() {
    m_model->setShowNull(ReadBoolSetting(keys::GridShowNull));
}

// Table list ------------------------------------------------------------------------------

void frmKorvel::RetrieveTableList() {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    cboTableList->clear();
    cboTableList->setEditText(QString());
    const TableList list = ::RetrieveTableList(m_state, *this);
    cboTableList->addItems(list.items);
    setListedTables(list.items, list.entries);
    cboTableList->setEditText(list.text);
    if (list.failed) {
        // For the rest of the process; the box itself comes back with the window.
        tbDisplayTableList->setEnabled(false);
        tbRefreshTableList->setEnabled(false);
        cboTableList->setEnabled(false);
    }
    while (QApplication::overrideCursor())
        QApplication::restoreOverrideCursor();
}

void frmKorvel::RefreshTableList() {
    const WindowLock lock(*this);
    RetrieveTableList();
}

void frmKorvel::OpenSelectedTable() {
    const QString name = cboTableList->currentText();
    if (trimBlanks(name).isEmpty()) return;
    auto lock = std::make_shared<WindowLock>(*this);
    const QString statement = QStringLiteral("select * from ") + name;
    ShowBusy(QString(), false, false);
    ExecuteQuery(m_state, *this, statement, [this, lock, statement](bool) mutable {
        HideBusy();
        DataGrid1->lastHeadColumn.clear();
        AddToHistory(statement);
        txtQuery->setPlainText(statement);
        lock.reset();
        cboTableList->setFocus();
    });
}

// Grid ----------------------------------------------------------------------------------

void frmKorvel::DataGrid1_RowColChange() {
    const int column = DataGrid1->currentIndex().column();
    if (column < 0 || !m_state.resultOpen || !m_state.resultSet ||
        column >= m_state.resultSet->FieldCount()) {
        ClearGridPanel();
        return;
    }
    const db::ColumnInfo& c = m_state.resultSet->column(column);
    panelDataGrid->setToolTip(gridTypeTip(c.type));
    panelDataGrid->setText(gridTypeText(c.type, c.definedSize, c.precision, c.scale));
}

void frmKorvel::DataGrid1_HeadClick(int column) {
    const WindowLock lock(*this);
    const QString clicked = QString::number(column);
    if (clicked != DataGrid1->lastHeadColumn) {
        DataGrid1->lastHeadColumn = clicked; // the first click only marks the column
    } else if (m_state.resultOpen && m_model->recordset()) {
        db::Recordset& rs = *m_model->recordset();
        const std::vector<db::Recordset::SortKey> ascending{{column, false}};
        // By position, so that two columns of one name sort apart.
        const bool descending = rs.sortKeys() == ascending;
        if (rs.sortByFields({{column, descending}})) m_model->reload();
    }
}

void frmKorvel::DataGrid1_BeforeDelete() {
    const WindowLock lock(*this);
    if (m_model->readOnly()) {
        ShowMessagePanel(db::errors::kReadOnlyDatabase, true, false);
    } else if (ShowMessagePanel(QStringLiteral("選択されているデータを削除しますか？"), true,
                                true) != PanelAnswer::Cancel &&
               m_model->recordset()) {
        QList<int> rows;
        // Rows as the record set holds them: a filtered grid shows some of them.
        int firstShown = -1;
        for (const QModelIndex& index : DataGrid1->selectionModel()->selectedRows()) {
            rows << m_model->sourceRow(index.row());
            if (firstShown < 0 || index.row() < firstShown) firstShown = index.row();
        }
        const int column = std::max(0, DataGrid1->currentIndex().column());
        // A filtered grid is filtered again after the reload and chooses its own row.
        const bool filtered = m_model->filtered();
        std::sort(rows.begin(), rows.end(), std::greater<int>());
        db::Recordset& rs = *m_model->recordset();
        for (int row : rows) {
            if (!rs.deleteRow(row)) {
                const db::Error e = rs.Errors().empty() ? db::Error{} : rs.Errors().front();
                ShowMessagePanel(ErrorReport(e.Number, e.Source, e.Description), true, false);
                break;
            }
        }
        m_model->reload();
        // The count shown follows the rows held; the row after the deleted ones becomes the
        // current row, where the deleted rows stood.
        UpdateStatusBar(QString::number(rs.RecordCount()) + kRowsProcessed);
        const int shown = m_model->rowCount();
        if (!filtered && firstShown >= 0 && shown > 0)
            DataGrid1->setCurrentIndex(m_model->index(std::min(firstShown, shown - 1), column));
    }
}
