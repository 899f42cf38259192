#pragma once

#include "TableTransfer.h"

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

// The window's progress bar and event pump, lent to a table transfer.
inline TableTransferHooks transferHooks(BatchFeedback& feedback) {
    return {[&feedback](int value) { feedback.setProgress(value); },
            [&feedback] { feedback.doEvents(); }};
}
