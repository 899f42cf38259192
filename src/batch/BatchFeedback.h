#pragma once

#include "transfer/TableTransfer.h"
#include "transfer/TransferTexts.h"

#include <QString>

// What the batch runners need of the batch window. The window implements it; tests answer
// with a recording fake.
class BatchFeedback {
public:
    virtual ~BatchFeedback() = default;

    // The command box; its line breaks are CR LF.
    virtual QString commandText() const = 0;
    virtual void setCommandText(const QString& text) = 0;

    virtual void SetControlsEnabled(bool enabled) = 0;
    virtual void AppendLog(const QString& subject, const QString& detail, bool success) = 0;
    // While true the window refuses to close.
    virtual void setBatchRunning(bool running) = 0;

    // The progress bar (0 to 100) and the event pump that the transfers drive. The pump is
    // time-sliced, so it is cheap to call after every row.
    virtual void setProgress(int value) = 0;
    virtual void doEvents() = 0;

    // A message box with an OK button, titled with the application name.
    virtual void showMessage(const QString& text) = 0;
    // A question with OK and Cancel, titled the same: true for OK.
    virtual bool askQuestion(const QString& /*text*/) { return false; }

    // Escape or the stop button asked the running batch to stop (see BatchStop); forgotten
    // when the user goes on. Without a window nobody asks.
    virtual bool abortRequested() const { return false; }
    virtual void clearAbortRequest() {}
    // An open-file dialog: the chosen path, or "" when cancelled. filter holds "|" pairs.
    virtual QString showOpenDialog(const QString& title, const QString& filter,
                                   const QString& initialDir) = 0;
};

// Holds the window in its running state for the scope's life, whichever way a runner ends.
class BatchRunScope {
public:
    explicit BatchRunScope(BatchFeedback& feedback) : m_feedback(feedback) {
        m_feedback.setBatchRunning(true);
        m_feedback.SetControlsEnabled(false);
    }
    ~BatchRunScope() {
        m_feedback.SetControlsEnabled(true);
        m_feedback.setBatchRunning(false);
    }
    BatchRunScope(const BatchRunScope&) = delete;
    BatchRunScope& operator=(const BatchRunScope&) = delete;

private:
    BatchFeedback& m_feedback;
};

// The stop of a run, as the main window's transfers stop: a request (Escape, the stop button)
// is answered after the next row, or before the next line, with kAbortQuestion; OK ends the
// transfer after the rows so far and the run with it.
class BatchStop {
public:
    explicit BatchStop(BatchFeedback& feedback) : m_feedback(feedback) {
        // A request made before the run asks nothing of it.
        m_feedback.clearAbortRequest();
    }
    BatchStop(const BatchStop&) = delete;
    BatchStop& operator=(const BatchStop&) = delete;

    AbortRequest request() {
        return {[this] { return m_feedback.abortRequested(); },
                [this] {
                    if (m_feedback.askQuestion(kAbortQuestion)) {
                        m_stopped = true;
                        return true;
                    }
                    m_feedback.clearAbortRequest();
                    return false;
                }};
    }
    // Before a line: true once the user has said to stop, asking first if a stop is requested.
    bool beforeLine() { return m_stopped || checkAbort(request()) == AfterRow::Stop; }
    bool stopped() const { return m_stopped; }

private:
    BatchFeedback& m_feedback;
    bool m_stopped = false;
};

// The window's progress bar, event pump and stop, lent to a table transfer.
inline TableTransferHooks transferHooks(BatchFeedback& feedback, BatchStop& stop) {
    return {[&feedback](int value) { feedback.setProgress(value); },
            [&feedback] { feedback.doEvents(); }, stop.request()};
}
