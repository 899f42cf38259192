#pragma once

#include "SelectionSummary.h"
#include "batch/BatchState.h"
#include "query/ProgramState.h"
#include "query/SqlCompletion.h"
#include "query/WindowFeedback.h"
#include "transfer/EventPump.h"
#include "widgets/SlicedProgress.h"

#include <QHash>
#include <QMainWindow>
#include <QPointer>
#include <QTimer>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

namespace db {
class ColumnCatalog;
}

class QAction;
class QComboBox;
class QDragEnterEvent;
class QDragMoveEvent;
class QDropEvent;
class QLabel;
class QLineEdit;
class QMenu;
class QPlainTextEdit;
class QStatusBar;
class QToolBar;
class RecordsetModel;
class CompletionList;
class FindBar;
class ResultGrid;
class SqlHighlighter;
class WaitPanel;

// The main window: query box, table list, result grid, menus, toolbar, status bar and the
// busy panel. It wires the widgets to the operations and gives them their feedback.
class frmKorvel : public QMainWindow, public WindowFeedback {
    Q_OBJECT
public:
    explicit frmKorvel(ProgramState& state, QWidget* parent = nullptr);
    ~frmKorvel() override;

    // Starts a second process of the program; replaceable for tests.
    std::function<bool()> startSecondProcess;

    // WindowFeedback
    void SetWindowEnabled(bool enabled) override;
    void ShowBusy(const QString& message, bool okEnabled, bool cancelEnabled) override;
    void HideBusy() override;
    PanelAnswer ShowMessagePanel(const QString& message, bool okEnabled, bool cancelEnabled,
                                 PanelAnswer defaultAnswer = PanelAnswer::Ok) override;
    void UpdateStatusBar(const QString& status) override;
    void ClearGridPanel() override;
    void bindGrid(std::shared_ptr<db::Recordset> rs) override;
    void rebindGrid() override;
    void PrepareGridColumns() override;
    void SetBusyCancelEnabled(bool enabled) override;
    void showArrivingRows(std::shared_ptr<db::Recordset> rs) override;
    void moreRowsArrived() override;
    void endArrivingRows(std::shared_ptr<db::Recordset> rs, bool completed) override;
    void SetProgressVisible(bool visible) override;
    void SetProgressValue(int value) override;
    void DoEvents() override;
    void ShowRunningCount(const QString& status) override;
    QString ShowSaveDialog(const QString& title, const QString& filter,
                           const QString& initialDir) override;
    QString ShowOpenDialog(const QString& title, const QString& filter,
                           const QString& initialDir) override;
    int ChooseItem(const QString& prompt, const QStringList& items) override;
    bool OpenWithDesktop(const QString& path) override;
    bool abortRequested() const override;
    void clearAbortRequest() override;

    // Keys that reach the window, the query box and the grid (a Qt::Key) with their
    // modifiers.
    void CommonKeyDown(int key, Qt::KeyboardModifiers modifiers);
    // A toolbar button by its key; keys are compared exactly.
    void Toolbar1_ButtonClick(const QString& key);

    void ExecuteQueryBox();
    // The same, with after called once the statement ended and the window is free again.
    void executeQueryBox(std::function<void()> after);
    // Runs the one statement of the query box that the caret stands in.
    void ExecuteStatementAtCaret();
    // Offers the names that may follow at the caret of the query box (Ctrl+Space).
    void CompleteAtCaret();
    CompletionList* completionList() const { return m_completion; }
    void RequeryResult();
    void AddToHistory(const QString& statement);
    void HistoryBackward();
    void HistoryForward();
    void mnuNewQuery_Click();
    void mnuNewConnection_Click();
    // Reads the options that change how the grid shows cells.
    void applyGridSettings();
    void mnuSetup_Click();
    void mnuBatch_Click();
    void mnuIndex_Click();
    void mnuAbout_Click();
    void mnuExcel_Click();
    void mnuHTML_Click();
    void mnuExit_Click();

    // The table list.
    void RetrieveTableList();
    void RefreshTableList();
    void OpenSelectedTable();

    // The grid's own behaviours.
    void DataGrid1_RowColChange();
    void DataGrid1_HeadClick(int column);
    void DataGrid1_BeforeDelete();
    // The selected cells (their rows and columns as a rectangle) to the clipboard as text and
    // as a table, with the column names first when asked; the names alone.
    void copyGridCells(bool withNames);
    // The selected cells summed up in the status bar: started anew at every change of the
    // selection, read in slices between the window's events.
    void summarizeSelection();
    // Ctrl+V: the clipboard's cells over the grid's from the current cell, each row changed
    // written once; asked first when more than one row changes.
    void pasteGridCells();
    // The clipboard's rows added to the table behind the result, as an import adds them.
    void pasteGridRows();
    void summarizeSlice();
    void copyGridColumnNames();
    // The find bar above the grid (Ctrl+F): opened with the focus in its field; closed, all
    // rows show again and the focus goes back where it was.
    void openFindBar();
    void closeFindBar();
    FindBar* findBar() const { return m_findBar; }

    // Shows the options dialog modally; replaceable for tests.
    std::function<void()> showSetup;

    // CSV and TAB files (KorvelTransfer.cpp).
    void mnuCSV_Click();
    void mnuTab_Click();
    void mnuImportCSV_Click();
    void mnuImportTAB_Click();
    // Shows a file dialog: the chosen path, or "" when cancelled; replaceable for tests.
    std::function<QString(bool save, const QString& title, const QString& filter,
                          const QString& dir)>
        showFileDialog;
    // Picks one of several items (a workbook's sheets); replaceable for tests.
    std::function<int(const QString& prompt, const QStringList& items)> chooseItem;

    // A menu item or toolbar button by its name or key, for tests.
    QAction* action(const QString& name) const { return m_actions.value(name); }
    QAction* toolbarButton(const QString& key) const { return m_buttons.value(key); }
    bool busyVisible() const { return m_busyVisible; }
    // An operation holds the window (its controls are locked), or a transfer runs: nothing
    // else may start.
    bool operationRunning() const {
        return windowLocked() || m_transfer.bImporting || m_transfer.bExporting;
    }
    WaitPanel* waitPanel() const { return frameWait; }
    // The transfers' flags: a stop asked for (Escape, the busy panel's Cancel, a close
    // request), an import or an export running.
    struct TransferFlags {
        bool bAbort = false;
        bool bImporting = false;
        bool bExporting = false;
    };
    TransferFlags& transferFlags() { return m_transfer; }

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void installGridCopyMenu();
    // An input method is composing in the query box: what it shows there is no text yet.
    bool composingQuery() const;
    void buildCompletion();
    // Shows what completes the word at the caret, reading the columns it lacks when asked.
    void offerCompletion(bool asked, bool readColumns);
    void columnsArrived();
    void setListedTables(const QStringList& items, const std::vector<db::TableEntry>& entries);
    void buildFindBar();
    // The grid below the find bar where it shows, the two in the grid's place (from its top
    // down, this high).
    void layoutGrid(int width, int height);
    void findCell(bool forward);
    void applyFindFilter();
    // The selected rows and columns of the grid, each in the order shown.
    void gridSelection(std::vector<int>& rows, std::vector<int>& columns) const;
    // What the transfers work on: the result on screen (null when none is open), the
    // connection, and how the window reads its result again.
    db::Recordset* resultOnScreen() const;
    db::Connection* connection() const;
    std::function<void()> rereadResult();
    // Imports dropped files one after another, each once the rows the one before left on
    // screen have been read again.
    void importDropped(QStringList files);
    void buildControls();
    void buildMenus();
    void buildToolbar();
    void Form_Load();
    void applySavedPosition();
    void saveWindowPosition();
    void centrePanel();
    void applyHistoryState();
    // An item's own enabled state; it is effective only while its menu is enabled too.
    void setItemEnabled(QAction* item, bool enabled);
    void setMenuEnabled(QMenu* menu, bool enabled);
    void deleteTemporaryPages();
    void restoreFocus();
    // False while the table list or the message panel has the keys.
    bool keysGoToCommonHandler() const;
    // Dropped files: the window, the query box, the table list and the toolbar take them;
    // the grid does not.
    void installDropTargets();
    bool dropFilter(QObject* watched, QEvent* event);
    void handleDrag(QDropEvent* event);

    ProgramState& m_state;
    QHash<QString, QAction*> m_actions;
    QHash<QString, QAction*> m_buttons;
    QHash<QAction*, bool> m_ownEnabled;
    QHash<QMenu*, bool> m_menuEnabled;

    QWidget* m_client = nullptr;
    QToolBar* Toolbar1 = nullptr;
    QComboBox* cboTableList = nullptr;
    QPlainTextEdit* txtQuery = nullptr;
    ResultGrid* DataGrid1 = nullptr;
    RecordsetModel* m_model = nullptr;
    SqlHighlighter* m_highlighter = nullptr;
    CompletionList* m_completion = nullptr;
    std::vector<ListedTable> m_listedTables;
    std::unique_ptr<db::ColumnCatalog> m_columns;
    // The text's revision and the caret when completion waited for columns.
    std::pair<int, int> m_completionWait{-1, -1};
    FindBar* m_findBar = nullptr;
    int m_gridTop = 0;
    bool m_filtering = false;
    QPointer<QWidget> m_focusBeforeFind;
    QStatusBar* StatusBar1 = nullptr;
    QLabel* panelDatabase = nullptr;
    QLabel* panelUser = nullptr;
    QLabel* panelDataGrid = nullptr;
    QLabel* panelStatus = nullptr;
    QLabel* panelSelection = nullptr;
    SelectionSummary m_summary;
    QTimer m_summaryTimer;
    QTimer m_summaryRestart;
    WaitPanel* frameWait = nullptr;
    QLineEdit* txtFocus = nullptr;
    QMenu* mnuFile = nullptr;
    QMenu* mnuQuery = nullptr;
    QMenu* mnuImportExport = nullptr;
    QMenu* mnuOption = nullptr;
    QMenu* mnuHelp = nullptr;
    QAction* mnuQueryForward = nullptr;
    QAction* mnuQueryBackward = nullptr;
    QAction* mnuSetup = nullptr;
    QAction* tbBackward = nullptr;
    QAction* tbForward = nullptr;
    QAction* tbDisplayTableList = nullptr;
    QAction* tbRefreshTableList = nullptr;

    bool m_busyVisible = false;
    TransferFlags m_transfer;
    // How many times over SetWindowEnabled(false) is in force.
    int m_lockDepth = 0;
    bool windowLocked() const { return m_lockDepth > 0; }
    // Cells are being copied: the busy panel's Cancel stops it.
    bool m_copying = false;
    // What the grid showed before a result began to arrive, shown again if it fails.
    std::shared_ptr<db::Recordset> m_beforeArriving;
    QList<int> m_widthsBeforeArriving;
    // What the batch window keeps between its openings.
    BatchState m_batchState;
    bool m_panelWaiting = false;
    QPointer<QWidget> m_focusBeforeDisable;
    bool m_focusInGrid = false;
    // A loop's feedback after every row is shown when the window's events next run.
    SlicedProgress m_progress;
    QString m_runningCount;
    void showPendingFeedback();
    EventPump m_events;
    // Sizes captured at load for the resize rules, in pixels.
    QSize m_initialClient, m_initialGrid;
    int m_initialQueryWidth = 0;
};
