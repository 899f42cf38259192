#pragma once

#include <QMetaType>
#include <QString>
#include <QStringList>

// What the operations of every window (statements, transfers, batch runs) need of the window
// they run in. The windows implement these; tests implement recording fakes.

// The button that answered the message panel.
enum class PanelAnswer { Ok, Cancel };
Q_DECLARE_METATYPE(PanelAnswer)

// What a long operation needs of the window it runs in: the lock, the busy panel and the
// progress bar, time for the window's events between rows, and the user's request to stop.
// The defaults suit fakes that do not care.
class OperationFeedback {
public:
    virtual ~OperationFeedback() = default;
    virtual void SetWindowEnabled(bool enabled) = 0;
    virtual void ShowBusy(const QString& message, bool okEnabled, bool cancelEnabled) = 0;
    virtual void HideBusy() = 0;
    // The busy panel's Cancel while a statement runs: it then cancels the statement.
    virtual void SetBusyCancelEnabled(bool) {}
    // The main window's progress bar: shown or hidden, value 0 to 100. A value set during a
    // loop is shown with the next DoEvents that runs the events.
    virtual void SetProgressVisible(bool) {}
    virtual void SetProgressValue(int) {}
    // Lets pending window events run; time-sliced, so it is cheap to call after every row.
    // The window paints what changed (the count, the bar) then, and only then.
    virtual void DoEvents() {}
    // The user asked the running loop to stop (Escape, the busy panel's Cancel, closing the
    // window). A loop asks after every row and clears the request when it goes on or starts.
    virtual bool abortRequested() const { return false; }
    virtual void clearAbortRequest() {}
};

// What an operation asks the user and tells them: the message panel, the status bar, the
// file dialogs and the desktop's own applications.
class UserDialogs {
public:
    virtual ~UserDialogs() = default;
    // Waits for a button; Enter presses the one given as the default.
    virtual PanelAnswer ShowMessagePanel(const QString& message, bool okEnabled, bool cancelEnabled,
                                         PanelAnswer defaultAnswer = PanelAnswer::Ok) = 0;
    virtual void UpdateStatusBar(const QString& status) = 0;
    // The file dialogs: the chosen path, or "" when cancelled. filter uses "|" pairs
    // ("CSVファイル (*.csv)|*.csv|...").
    virtual QString ShowSaveDialog(const QString& /*title*/, const QString& /*filter*/,
                                   const QString& /*initialDir*/) {
        return QString();
    }
    virtual QString ShowOpenDialog(const QString& /*title*/, const QString& /*filter*/,
                                   const QString& /*initialDir*/) {
        return QString();
    }
    // One of several items (a workbook's sheets) picked by the user: its index, or -1 when
    // cancelled.
    virtual int ChooseItem(const QString& /*prompt*/, const QStringList& /*items*/) { return 0; }
    // Opens a file with the desktop's application for it; false when there is none.
    virtual bool OpenWithDesktop(const QString& /*path*/) { return false; }
};

// The transfers: a long operation that asks and reports, and leaves the grid alone.
class TransferFeedback : public OperationFeedback, public UserDialogs {
public:
    // The running count of a loop, every so many rows. The window shows it with its next
    // events (a count set and measured per call would cost more than the rows between);
    // a status set after it replaces it.
    virtual void ShowRunningCount(const QString& status) { UpdateStatusBar(status); }
};

// Holds the window locked for an operation while it lives; unlocked again on every way out.
class WindowLock {
public:
    explicit WindowLock(OperationFeedback& feedback) : m_feedback(feedback) {
        m_feedback.SetWindowEnabled(false);
    }
    ~WindowLock() { m_feedback.SetWindowEnabled(true); }
    WindowLock(const WindowLock&) = delete;
    WindowLock& operator=(const WindowLock&) = delete;

private:
    OperationFeedback& m_feedback;
};
