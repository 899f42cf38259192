// The main window's side of the CSV and TAB transfers: the menu commands, dropped files and
// the feedback the transfers ask of the window (progress bar, events, file dialogs).
#include "ResultGrid.h"
#include "WaitPanel.h"
#include "common/BlankText.h"
#include "frmKorvel.h"
#include "query/modExecuteQuery.h"
#include "transfer/FileDrop.h"
#include "transfer/TransferTexts.h"
#include "transfer/modExport.h"
#include "transfer/modImport.h"
#include "widgets/FileDialogFilter.h"

#include <QApplication>
#include <QComboBox>
#include <QDropEvent>
#include <QFileDialog>
#include <QInputDialog>
#include <QLineEdit>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QToolBar>
#include <QUrl>

namespace {
QStringList droppedFiles(const QMimeData* data) {
    QStringList files;
    if (!data || !data->hasUrls()) return files;
    for (const QUrl& url : data->urls())
        if (url.isLocalFile()) files << url.toLocalFile();
    return files;
}
} // namespace

db::Recordset* frmKorvel::resultOnScreen() const {
    return m_state.resultOpen ? m_state.resultSet.get() : nullptr;
}

db::Connection* frmKorvel::connection() const {
    return m_state.connection.adoConnection.get();
}

// An import reads its result again only where that changes nothing, so Refresh asks no
// question here; its lock outlives the import's own, which ends before the rows have come.
std::function<void()> frmKorvel::rereadResult() {
    return [this] { ::RequeryResult(m_state, *this); };
}

void frmKorvel::importDropped(QStringList files) {
    while (!files.isEmpty()) {
        const QString file = files.takeFirst();
        bool rereading = false;
        m_transfer.bImporting = true;
        ImportDroppedFile(
            resultOnScreen(), connection(), *this, trimBlanks(file), [this, &rereading, files] {
                rereading = true;
                ::RequeryResult(m_state, *this, [this, files] { importDropped(files); });
            });
        m_transfer.bImporting = false;
        if (rereading) return; // the rest follows once the rows have been read again
    }
}

bool frmKorvel::abortRequested() const {
    return m_transfer.bAbort;
}

void frmKorvel::clearAbortRequest() {
    m_transfer.bAbort = false;
}

void frmKorvel::mnuCSV_Click() {
    m_transfer.bExporting = true;
    ExportTextCommand(resultOnScreen(), connection(), *this, kComma);
    m_transfer.bExporting = false;
}
void frmKorvel::mnuTab_Click() {
    m_transfer.bExporting = true;
    ExportTextCommand(resultOnScreen(), connection(), *this, kTab);
    m_transfer.bExporting = false;
}
void frmKorvel::mnuImportCSV_Click() {
    m_transfer.bImporting = true;
    ImportTextCommand(resultOnScreen(), connection(), *this, kComma, rereadResult());
    m_transfer.bImporting = false;
}
void frmKorvel::mnuImportTAB_Click() {
    m_transfer.bImporting = true;
    ImportTextCommand(resultOnScreen(), connection(), *this, kTab, rereadResult());
    m_transfer.bImporting = false;
}

void frmKorvel::SetProgressVisible(bool visible) {
    frameWait->progressBar()->setVisible(visible);
}

void frmKorvel::SetProgressValue(int value) {
    m_progress.set(value);
}

// Asked after every row: the events, and with them the painting of what changed (the count,
// the bar), run only every few tens of milliseconds.
void frmKorvel::DoEvents() {
    m_events();
}

void frmKorvel::ShowRunningCount(const QString& status) {
    m_runningCount = status;
}

// What a loop set since the last events, now.
void frmKorvel::showPendingFeedback() {
    if (!m_runningCount.isNull()) UpdateStatusBar(std::exchange(m_runningCount, QString()));
    m_progress.show();
}

QString frmKorvel::ShowSaveDialog(const QString& title, const QString& filter,
                                  const QString& initialDir) {
    if (showFileDialog) return showFileDialog(true, title, filter, initialDir);
    // An existing file is replaced without a question.
    return QFileDialog::getSaveFileName(this, title, initialDir, dialogFilter(filter), nullptr,
                                        QFileDialog::DontConfirmOverwrite);
}

QString frmKorvel::ShowOpenDialog(const QString& title, const QString& filter,
                                  const QString& initialDir) {
    if (showFileDialog) return showFileDialog(false, title, filter, initialDir);
    return QFileDialog::getOpenFileName(this, title, initialDir, dialogFilter(filter));
}

int frmKorvel::ChooseItem(const QString& prompt, const QStringList& items) {
    if (chooseItem) return chooseItem(prompt, items);
    QInputDialog dialog(this);
    dialog.setWindowTitle(QApplication::applicationDisplayName());
    dialog.setLabelText(prompt);
    dialog.setComboBoxItems(items);
    dialog.setComboBoxEditable(false);
    dialog.setOkButtonText(QStringLiteral("OK"));
    dialog.setCancelButtonText(QStringLiteral("キャンセル"));
    if (dialog.exec() != QDialog::Accepted) return -1;
    return int(items.indexOf(dialog.textValue()));
}

// Dropped files --------------------------------------------------------------------------

void frmKorvel::installDropTargets() {
    setAcceptDrops(true);
    for (QWidget* w :
         {static_cast<QWidget*>(txtQuery), txtQuery->viewport(),
          static_cast<QWidget*>(cboTableList), static_cast<QWidget*>(cboTableList->lineEdit()),
          static_cast<QWidget*>(Toolbar1)}) {
        w->setAcceptDrops(true);
        w->installEventFilter(this);
    }
    // The grid takes drags itself so that they do not reach the window behind it.
    for (QWidget* w : {static_cast<QWidget*>(DataGrid1), DataGrid1->viewport()}) {
        w->setAcceptDrops(true);
        w->installEventFilter(this);
    }
}

bool frmKorvel::dropFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if (type != QEvent::DragEnter && type != QEvent::DragMove && type != QEvent::Drop) return false;
    if (watched == DataGrid1 || watched == DataGrid1->viewport()) {
        auto* drag = static_cast<QDropEvent*>(event);
        if (type == QEvent::DragEnter) {
            drag->setDropAction(Qt::IgnoreAction);
            drag->accept();
        } else {
            drag->ignore();
        }
        return true;
    }
    if (watched == txtQuery || watched == txtQuery->viewport() || watched == cboTableList ||
        watched == cboTableList->lineEdit() || watched == Toolbar1) {
        handleDrag(static_cast<QDropEvent*>(event));
        return true;
    }
    return false;
}

void frmKorvel::dragEnterEvent(QDragEnterEvent* event) {
    handleDrag(event);
}
void frmKorvel::dragMoveEvent(QDragMoveEvent* event) {
    handleDrag(event);
}
void frmKorvel::dropEvent(QDropEvent* event) {
    handleDrag(event);
}

void frmKorvel::handleDrag(QDropEvent* event) {
    const QStringList files = droppedFiles(event->mimeData());
    // Nothing starts while another operation holds the window.
    if (files.isEmpty() || operationRunning()) {
        event->ignore();
        return;
    }
    event->acceptProposedAction();
    if (event->type() != QEvent::Drop) return;
    // The import runs after the drop has been answered, so that the desktop's drag ends now.
    QMetaObject::invokeMethod(
        this,
        [this, files] {
            if (!operationRunning()) importDropped(files);
        },
        Qt::QueuedConnection);
}
