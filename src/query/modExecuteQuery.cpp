#include "modExecuteQuery.h"

#include "StatementRun.h"
#include "common/BlankText.h"
#include "common/ErrorReport.h"
#include "db/StatementText.h"
#include "options/SettingsKeys.h"

#include <algorithm>

namespace {
const QString kCrLf = QStringLiteral("\r\n");

// The text with every CR LF pair as one blank; lone CR, LF and tabs stay.
QString crLfAsBlank(const QString& s) {
    return QString(s).replace(kCrLf, QStringLiteral(" "));
}

// After a statement without rows: how many rows an UPDATE, DELETE or INSERT changed, told by
// the statement's own first word; any other statement, or a count the driver cannot give,
// only ran.
QString changedRowsStatus(const QString& key, qint64 affected) {
    if (affected < 0) return kQueryDone;
    const QStringView word = QStringView(key).left(6);
    const QString count = QString::number(affected);
    if (word == u"UPDATE") return count + kRowsUpdated;
    if (word == u"DELETE") return count + kRowsDeleted;
    if (word == u"INSERT") return count + kRowsInserted;
    return kQueryDone;
}

db::Error failureOf(const db::Recordset& rs, const db::Connection* connection) {
    const db::ErrorList& errors = !rs.Errors().empty() ? rs.Errors()
                                  : connection         ? connection->Errors()
                                                       : rs.Errors();
    if (!errors.empty()) return errors.front();
    return {db::ErrorNumber::Fail, QStringLiteral("Unknown error"), QStringLiteral("Tolvan")};
}

using Done = std::function<void(bool)>;
using Opened = std::function<void(std::shared_ptr<db::Recordset> rs, bool bound)>;

// Opens a statement in a new record set with the program's fixed arguments. The statement
// runs on a worker while the window keeps painting and its Cancel and Escape can stop it;
// then(rs, bound) follows once it ended. With showRows, the grid shows the rows as they
// arrive; bound tells whether it did, so that a completed result is bound already.
void openNew(ProgramState& state, WindowFeedback& feedback, const QString& source, bool showRows,
             Opened then) {
    auto rs = std::make_shared<db::Recordset>();
    auto shown = std::make_shared<bool>(false);
    StatementRun::Watch watch;
    if (showRows) {
        watch.columnsShown = [&feedback, rs, shown] {
            if (rs->FieldCount() == 0) return;
            feedback.showArrivingRows(rs);
            *shown = true;
        };
        watch.rowsAppended = [&feedback, shown] {
            if (*shown) feedback.moreRowsArrived();
        };
    }
    feedback.SetBusyCancelEnabled(true);
    state.statements.start(state.connection.adoConnection.get(), rs, source, std::move(watch),
                           [&feedback, rs, shown, then = std::move(then)](bool ok) {
                               feedback.SetBusyCancelEnabled(false);
                               // Nothing half read stays on screen.
                               if (*shown) feedback.endArrivingRows(rs, ok);
                               then(rs, *shown && ok);
                           });
}

// One Execute: the statement, and what it leaves on screen. Its steps follow one another
// from the event loop as the statements it runs end; it lives as long as a step holds it.
class Execution : public std::enable_shared_from_this<Execution> {
public:
    Execution(ProgramState& state, WindowFeedback& feedback, QString statement, Done done)
        : m_state(state), m_feedback(feedback), m_statement(std::move(statement)),
          m_done(std::move(done)) {}
    void start();

private:
    void finish(bool result) {
        m_feedback.ClearGridPanel();
        m_feedback.PrepareGridColumns();
        m_done(result);
    }
    void failWith(const db::Recordset& rs) {
        m_failure = failureOf(rs, m_state.connection.adoConnection.get());
        fail();
    }
    void fail();
    void selected(std::shared_ptr<db::Recordset> rs, bool bound);
    // A result with rows: counted, on screen, and the current one.
    void showResult(const std::shared_ptr<db::Recordset>& rs, bool bound);
    void ran(std::shared_ptr<db::Recordset> rs, bool bound);
    void runChange();

    ProgramState& m_state;
    WindowFeedback& m_feedback;
    const QString m_statement;
    const Done m_done;
    QString m_key;
    std::shared_ptr<db::Recordset> m_previous;
    QString m_previousSource;
    bool m_rereadable = false;
    bool m_closedPrevious = false;
    db::Error m_failure;
};

void Execution::start() {
    m_feedback.ShowBusy(QString(), false, false);
    m_previous = m_state.resultOpen ? m_state.resultSet : nullptr;
    m_previousSource = m_previous ? m_previous->Source() : QString();
    // The previous result is read again by running its statement only where that changes
    // nothing: an insert that returned rows would insert them once more.
    m_rereadable = db::readsOnly(m_previousSource);
    if (!ApplyQueryTimeout(m_state, ReadSetting(keys::QueryTimeout), m_failure)) return fail();
    if (trimBlanks(m_statement).isEmpty()) return finish(true);

    m_key = trimBlanks(crLfAsBlank(m_statement)).toUpper();
    auto self = shared_from_this();
    if (m_key.left(6) == QLatin1String("SELECT")) {
        openNew(m_state, m_feedback, m_statement, true,
                [self](std::shared_ptr<db::Recordset> rs, bool bound) {
                    self->selected(std::move(rs), bound);
                });
        return;
    }
    if (m_key.left(6) == QLatin1String("DELETE") && ReadBoolSetting(keys::QueryDelete)) {
        if (m_feedback.ShowMessagePanel(kDeleteQuestion, true, true) == PanelAnswer::Cancel) {
            m_feedback.UpdateStatusBar(kQueryNotRun);
            return finish(true);
        }
    }
    runChange();
}

void Execution::selected(std::shared_ptr<db::Recordset> rs, bool bound) {
    m_state.resultSet = rs;
    if (!rs->isOpen()) return failWith(*rs);
    showResult(rs, bound);
}

void Execution::showResult(const std::shared_ptr<db::Recordset>& rs, bool bound) {
    m_feedback.UpdateStatusBar(QString::number(rs->RecordCount()) + kRowsProcessed);
    if (!bound) m_feedback.bindGrid(rs);
    m_state.resultOpen = true;
    finish(true);
}

void Execution::runChange() {
    m_feedback.bindGrid(nullptr);
    if (m_state.resultOpen) {
        const bool stored = m_state.resultSet->Close();
        m_state.resultOpen = false;
        m_closedPrevious = true;
        if (!stored) return failWith(*m_state.resultSet);
    }
    auto self = shared_from_this();
    openNew(
        m_state, m_feedback, m_statement, true,
        [self](std::shared_ptr<db::Recordset> rs, bool bound) { self->ran(std::move(rs), bound); });
}

void Execution::ran(std::shared_ptr<db::Recordset> rs, bool bound) {
    m_state.resultSet = rs;
    if (!rs->isOpen()) return failWith(*rs);
    // A statement that returned rows although it is no SELECT.
    if (rs->FieldCount() >= 1) return showResult(rs, bound);
    if (m_key.left(3) == QLatin1String("USE")) {
        if (trimBlanks(m_statement.toUpper()).startsWith(QLatin1String("USE")))
            m_feedback.UpdateStatusBar(QStringLiteral(" "));
        return finish(true);
    }
    m_feedback.UpdateStatusBar(changedRowsStatus(m_key, rs->RecordsAffected()));
    // A previous result that cannot be read again without changing data stays closed.
    if (!m_closedPrevious || !m_rereadable) return finish(true);
    auto self = shared_from_this();
    openNew(m_state, m_feedback, m_previousSource, false,
            [self](std::shared_ptr<db::Recordset> again, bool) {
                self->m_state.resultSet = again;
                if (!again->isOpen()) return self->failWith(*again);
                self->m_feedback.bindGrid(again);
                self->m_state.resultOpen = true;
                self->finish(true);
            });
}

void Execution::fail() {
    // The user asked for the stop: it is said in the status bar, and the rows before come
    // back as after a failure.
    if (m_failure.Number == db::ErrorNumber::Cancelled) {
        m_feedback.UpdateStatusBar(kQueryCancelled);
    } else {
        m_feedback.UpdateStatusBar(QStringLiteral("ERROR"));
        m_feedback.ShowMessagePanel(
            ErrorReport(m_failure.Number, m_failure.Source, m_failure.Description), true, false);
    }
    if (m_previousSource.isEmpty()) return finish(false);
    if (!m_rereadable) {
        // The rows it holds stay the current result, without running it again.
        m_state.resultSet = m_previous;
        return finish(false);
    }
    // Read the previous result again, unseen: after a failed SELECT the grid still shows its
    // rows from the record set it holds.
    auto self = shared_from_this();
    openNew(m_state, m_feedback, m_previousSource, false,
            [self](std::shared_ptr<db::Recordset> again, bool) {
                self->m_state.resultSet = again;
                if (!again->isOpen()) return self->m_done(false);
                self->finish(false);
            });
}
} // namespace

bool ApplyQueryTimeout(ProgramState& state, const QString& setting, db::Error& failure) {
    // A text that is not a number falls back to the key's default.
    int seconds = keys::QueryTimeout.defaultText().toInt();
    if (NumericText(setting)) {
        const std::optional<qint16> v = Integer16Text(setting);
        if (!v) {
            failure = {6, QStringLiteral("Overflow"), QStringLiteral("Tolvan")};
            return false;
        }
        seconds = *v;
    }
    if (state.connection.adoConnection) state.connection.adoConnection->setCommandTimeout(seconds);
    return true;
}

void ExecuteQueryBox(ProgramState& state, WindowFeedback& feedback, const QString& queryText,
                     const QString& selectedText, std::function<void(const QString&)> addToHistory,
                     std::function<void(bool)> done) {
    auto lock = std::make_shared<WindowLock>(feedback);
    if (trimBlanks(queryText).isEmpty()) {
        lock.reset();
        if (done) done(false);
        return;
    }
    const QString statement =
        trimBlanks(crLfAsBlank(selectedText)).isEmpty() ? queryText : selectedText;
    feedback.ShowBusy(QString(), false, false);
    ExecuteQuery(state, feedback, statement,
                 [&feedback, statement, lock, addToHistory = std::move(addToHistory),
                  done = std::move(done)](bool) mutable {
                     feedback.HideBusy();
                     if (addToHistory) addToHistory(statement);
                     lock.reset();
                     if (done) done(true);
                 });
}

void ExecuteQuery(ProgramState& state, WindowFeedback& feedback, const QString& statement,
                  std::function<void(bool)> done) {
    std::make_shared<Execution>(
        state, feedback, statement, done ? std::move(done) : [](bool) {})
        ->start();
}

void CancelRunningStatement(ProgramState& state) {
    state.statements.cancel();
}

void RereadResult(ProgramState& state, WindowFeedback& feedback, std::function<void(bool)> done) {
    if (!done) done = [](bool) {};
    if (!state.resultOpen) return done(false);
    const std::shared_ptr<db::Recordset> shown = state.resultSet;
    // Read anew into a record set of its own: the rows on screen stay until it is complete,
    // and a cancel or failure leaves them there.
    openNew(state, feedback, shown->Source(), true,
            [&state, &feedback, shown, done = std::move(done)](std::shared_ptr<db::Recordset> rs,
                                                               bool bound) {
                if (!rs->isOpen()) return done(false);
                // The order the user chose outlives the re-read where its columns still exist.
                const std::vector<db::Recordset::SortKey> keys = shown->sortKeys();
                const bool sorted = !keys.empty() &&
                                    std::all_of(keys.begin(), keys.end(),
                                                [&](const db::Recordset::SortKey& k) {
                                                    return k.field < rs->FieldCount();
                                                }) &&
                                    rs->sortByFields(keys);
                state.resultSet = rs;
                if (!bound)
                    feedback.bindGrid(rs);
                else if (sorted)
                    feedback.rebindGrid();
                done(true);
            });
}

void RequeryResult(ProgramState& state, WindowFeedback& feedback, std::function<void()> done) {
    // The window stays locked until the rows have been read again, however it ends.
    auto end = [lock = std::make_shared<WindowLock>(feedback), done = std::move(done)]() mutable {
        lock.reset();
        if (done) done();
    };
    // Running a text that may change data again is the user's decision, each time.
    if (state.resultOpen && !db::readsOnly(state.resultSet->Source()) &&
        feedback.ShowMessagePanel(kRerunQuestion, true, true, PanelAnswer::Cancel) !=
            PanelAnswer::Ok)
        return end();
    if (!state.resultOpen) return end();
    feedback.ShowBusy(QString(), false, false);
    RereadResult(state, feedback, [&feedback, end = std::move(end)](bool) mutable {
        feedback.HideBusy();
        end();
    });
}
