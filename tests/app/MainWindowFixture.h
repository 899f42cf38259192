#pragma once

#include "app/frmKorvel.h"
#include "db/ConnectionRecord.h"
#include "query/ProgramState.h"
#include "query/WindowFeedback.h"

#include <QElapsedTimer>
#include <QPointer>
#include <QStringList>
#include <QTemporaryDir>
#include <memory>

class QComboBox;
class QPlainTextEdit;
class QTableView;

// The main window offscreen over a test connection, for the test classes that build it
// (class TestX : public QObject, public MainWindowFixture). A test calls ownSettings(),
// connectTo() and showWindow() in that order, with steps of its own between them, in init() or
// later in the test; cleanup() calls closeWindow().
class MainWindowFixture {
public:
    // What the guard does with a prompt of the message panel that m_answers has no answer for.
    enum class OtherPrompts {
        // Left to the test; one still waiting after a while is answered with OK, so that the
        // test goes on, and fails it in closeWindow().
        Fail,
        // Answered with OK at once, and kept in m_prompts for the test to look at.
        PressOk,
    };

protected:
    // The test's own folder, made anew: its settings and its files.
    std::unique_ptr<QTemporaryDir> m_dir;
    db::ConnectionRecord m_record;
    std::unique_ptr<ProgramState> m_state;
    std::unique_ptr<frmKorvel> m_window;
    // Answers for the next prompts, in order; the guard presses them at once.
    QList<PanelAnswer> m_answers;
    // What the panel said in each prompt the guard answered, in order.
    QStringList m_prompts;
    OtherPrompts m_otherPrompts = OtherPrompts::Fail;

    // Settings in m_dir: no test sees another's, nor the user's.
    void ownSettings();
    // backend: a test backend's name, or a connection string of the test's own (Provider=...).
    bool connectTo(const QString& backend, db::ConnectionKind kind = db::ConnectionKind::Odbc);
    // The window shown and active over the connection, with the guard on its prompts.
    bool showWindow(OtherPrompts otherPrompts = OtherPrompts::Fail);
    // The window, the state and the connection gone; a prompt or dialog the guard had to
    // answer, or an answer no prompt took, fails the test.
    void closeWindow();

    // Statements end from the event loop: true once none runs and the window is free again
    // (the command and all it started ended), false when that did not come.
    bool idle();

    QPlainTextEdit* query() const;
    QTableView* grid() const;
    QComboBox* tables() const;
    QString status() const;

private:
    void guard();

    // A prompt or modal dialog nobody answers, and since when it waits.
    QPointer<QWidget> m_waiting;
    QElapsedTimer m_waitingFor;
    QStringList m_unexpected;
};
