#pragma once

#include "BatchFeedback.h"
#include "BatchState.h"
#include "transfer/EventPump.h"
#include "widgets/SlicedProgress.h"

#include <QDialog>
#include <QPointer>
#include <QStringList>
#include <functional>
#include <optional>

class QAction;
class QComboBox;
class QMenu;
class QMenuBar;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;

namespace db {
class Connection;
}

// The batch window: a mode list, the command box, the log and a progress bar. Its handlers
// hand the work to the runners and lend them the window through BatchFeedback.
class frmBatch : public QDialog, public BatchFeedback {
    Q_OBJECT
public:
    // tables are the names of the main window's table list, which the export of all tables
    // writes; none when that list is not usable, and then the two modes of it are not offered.
    frmBatch(BatchState& state, db::Connection* connection, std::optional<QStringList> tables,
             QWidget* parent = nullptr);
    ~frmBatch() override;

    // The message box, the question and the open-file dialog; replaceable for tests.
    std::function<void(const QString& text)> showMessageBox;
    std::function<bool(const QString& text)> showQuestion;
    std::function<QString(const QString& title, const QString& filter, const QString& initialDir)>
        showFileDialog;

    // BatchFeedback
    QString commandText() const override;
    void setCommandText(const QString& text) override;
    void SetControlsEnabled(bool enabled) override;
    void AppendLog(const QString& subject, const QString& detail, bool success) override;
    void setBatchRunning(bool running) override;
    void setProgress(int value) override;
    void doEvents() override;
    void showMessage(const QString& text) override;
    bool askQuestion(const QString& text) override;
    bool abortRequested() const override { return m_abortRequested; }
    void clearAbortRequest() override { m_abortRequested = false; }
    QString showOpenDialog(const QString& title, const QString& filter,
                           const QString& initialDir) override;

    // The log box's text, its lines ended by CR LF.
    QString logText() const;

    void cmdBatch_Click();
    // The stop button and Escape while a batch runs: the run asks whether to stop after its
    // next row.
    void cmdStop_Click();
    void mnuReadFile_Click();
    void mnuEnd_Click();
    void mnuIndex_Click();
    void mnuAbout_Click();

public slots:
    // Escape and the platform's dismissals go through the ordinary close.
    void reject() override;

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildControls();
    void buildMenus();
    void Form_Load();
    void applySavedPosition();
    bool Form_Unload();
    void exportAll(bool tab);

    BatchState& m_state;
    db::Connection* m_connection;
    std::optional<QStringList> m_tables;

    QMenuBar* m_menuBar = nullptr;
    QWidget* m_client = nullptr;
    QMenu* mnuFile = nullptr;
    QMenu* mnuHelp = nullptr;
    QAction* mnuReadFile = nullptr;
    QAction* mnuEnd = nullptr;
    QAction* mnuIndex = nullptr;
    QAction* mnuAbout = nullptr;
    QComboBox* cboBatch = nullptr;
    QPushButton* cmdBatch = nullptr;
    QPushButton* cmdStop = nullptr;
    QPlainTextEdit* txtBatch = nullptr;
    QPlainTextEdit* txtBatchLog = nullptr;
    QProgressBar* ProgressBar1 = nullptr;

    QPointer<QWidget> m_focusBeforeRun;
    bool m_abortRequested = false;
    // Declared before the pump, which shows it.
    SlicedProgress m_progress;
    EventPump m_pump;
};
