#include "modExecuteQuery.h"

#include "BlankText.h"
#include "ErrorReport.h"
#include "SettingsKeys.h"
#include "StatementRun.h"
#include "StatementText.h"

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

// Opens a statement in a new record set with the program's fixed arguments. The statement
// runs on a worker while the window keeps painting and its Cancel and Escape can stop it.
// With bound set, the grid shows the rows as they arrive; bound tells whether it did, so
// that a completed result is bound already.
std::shared_ptr<db::Recordset> openNew(ProgramState& state, WindowFeedback& feedback,
                                       const QString& source, db::Error& failure,
                                       bool* bound = nullptr) {
    auto rs = std::make_shared<db::Recordset>();
    db::Connection* connection = state.connection.adoConnection.get();
    StatementRun run(connection);
    bool shown = false;
    if (bound) {
        run.columnsShown = [&] {
            if (rs->FieldCount() == 0) return;
            feedback.showArrivingRows(rs);
            shown = true;
        };
        run.rowsAppended = [&] {
            if (shown) feedback.moreRowsArrived();
        };
    }
    state.running = &run;
    feedback.SetBusyCancelEnabled(true);
    const bool ok = run.open(*rs, source);
    feedback.SetBusyCancelEnabled(false);
    state.running = nullptr;
    // Nothing half read stays on screen.
    if (shown) feedback.endArrivingRows(rs, ok);
    if (bound) *bound = shown && ok;
    if (!ok) failure = failureOf(*rs, connection);
    return rs;
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

bool ExecuteQueryBox(ProgramState& state, WindowFeedback& feedback, const QString& queryText,
                     const QString& selectedText,
                     const std::function<void(const QString&)>& addToHistory) {
    const WindowLock lock(feedback);
    if (trimBlanks(queryText).isEmpty()) return false;
    const QString statement =
        trimBlanks(crLfAsBlank(selectedText)).isEmpty() ? queryText : selectedText;
    feedback.ShowBusy(QString(), false, false);
    ExecuteQuery(state, feedback, statement);
    feedback.HideBusy();
    if (addToHistory) addToHistory(statement);
    return true;
}

bool ExecuteQuery(ProgramState& state, WindowFeedback& feedback, const QString& statement) {
    feedback.ShowBusy(QString(), false, false);
    const std::shared_ptr<db::Recordset> previous = state.resultOpen ? state.resultSet : nullptr;
    const QString previousSource = previous ? previous->Source() : QString();
    // The previous result is read again by running its statement only where that changes
    // nothing: an insert that returned rows would insert them once more.
    const bool rereadable = db::readsOnly(previousSource);
    bool closedPrevious = false;
    db::Error failure;

    const auto finish = [&](bool result) {
        feedback.ClearGridPanel();
        feedback.PrepareGridColumns();
        return result;
    };
    const auto fail = [&]() {
        feedback.UpdateStatusBar(QStringLiteral("ERROR"));
        feedback.ShowMessagePanel(ErrorReport(failure.Number, failure.Source, failure.Description),
                                  true, false);
        if (!previousSource.isEmpty() && !rereadable) {
            // The rows it holds stay the current result, without running it again.
            state.resultSet = previous;
        } else if (!previousSource.isEmpty()) {
            // Read the previous result again, unseen: after a failed SELECT the grid still
            // shows its rows from the record set it holds.
            db::Error ignored;
            state.resultSet = openNew(state, feedback, previousSource, ignored);
            if (!state.resultSet->isOpen()) return false;
        }
        return finish(false);
    };

    if (!ApplyQueryTimeout(state, ReadSetting(keys::QueryTimeout), failure)) return fail();
    if (trimBlanks(statement).isEmpty()) return finish(true);

    const QString key = trimBlanks(crLfAsBlank(statement)).toUpper();
    if (key.left(6) == QLatin1String("SELECT")) {
        bool bound = false;
        state.resultSet = openNew(state, feedback, statement, failure, &bound);
        if (!state.resultSet->isOpen()) return fail();
        feedback.UpdateStatusBar(QString::number(state.resultSet->RecordCount()) + kRowsProcessed);
        if (!bound) feedback.bindGrid(state.resultSet);
        state.resultOpen = true;
        return finish(true);
    }
    if (key.left(6) == QLatin1String("DELETE") && ReadBoolSetting(keys::QueryDelete)) {
        if (feedback.ShowMessagePanel(kDeleteQuestion, true, true) == PanelAnswer::Cancel) {
            feedback.UpdateStatusBar(kQueryNotRun);
            return finish(true);
        }
    }

    feedback.bindGrid(nullptr);
    if (state.resultOpen) {
        const bool stored = state.resultSet->Close();
        state.resultOpen = false;
        closedPrevious = true;
        if (!stored) {
            failure = failureOf(*state.resultSet, state.connection.adoConnection.get());
            return fail();
        }
    }
    bool bound = false;
    state.resultSet = openNew(state, feedback, statement, failure, &bound);
    if (!state.resultSet->isOpen()) return fail();
    if (state.resultSet->FieldCount() >= 1) {
        // A statement that returned rows although it is no SELECT.
        feedback.UpdateStatusBar(QString::number(state.resultSet->RecordCount()) + kRowsProcessed);
        if (!bound) feedback.bindGrid(state.resultSet);
        state.resultOpen = true;
        return finish(true);
    }
    if (key.left(3) == QLatin1String("USE")) {
        if (trimBlanks(statement.toUpper()).startsWith(QLatin1String("USE")))
            feedback.UpdateStatusBar(QStringLiteral(" "));
        return finish(true);
    }
    feedback.UpdateStatusBar(changedRowsStatus(key, state.resultSet->RecordsAffected()));
    // A previous result that cannot be read again without changing data stays closed.
    if (closedPrevious && rereadable) {
        state.resultSet = openNew(state, feedback, previousSource, failure);
        if (!state.resultSet->isOpen()) return fail();
        feedback.bindGrid(state.resultSet);
        state.resultOpen = true;
    }
    return finish(true);
}

void CancelRunningStatement(ProgramState& state) {
    if (state.running) state.running->cancel();
}

bool RereadResult(ProgramState& state, WindowFeedback& feedback) {
    if (!state.resultOpen) return false;
    const std::shared_ptr<db::Recordset> shown = state.resultSet;
    db::Error failure;
    bool bound = false;
    // Read anew into a record set of its own: the rows on screen stay until it is complete,
    // and a cancel or failure leaves them there.
    std::shared_ptr<db::Recordset> rs = openNew(state, feedback, shown->Source(), failure, &bound);
    if (!rs->isOpen()) return false;
    // The order the user chose outlives the re-read where its columns still exist.
    const std::vector<db::Recordset::SortKey> keys = shown->sortKeys();
    const bool sorted =
        !keys.empty() &&
        std::all_of(keys.begin(), keys.end(),
                    [&](const db::Recordset::SortKey& k) { return k.field < rs->FieldCount(); }) &&
        rs->sortByFields(keys);
    state.resultSet = rs;
    if (!bound)
        feedback.bindGrid(rs);
    else if (sorted)
        feedback.rebindGrid();
    return true;
}

void RequeryResult(ProgramState& state, WindowFeedback& feedback) {
    const WindowLock lock(feedback);
    // Running a text that may change data again is the user's decision, each time.
    if (state.resultOpen && !db::readsOnly(state.resultSet->Source()) &&
        feedback.ShowMessagePanel(kRerunQuestion, true, true, PanelAnswer::Cancel) !=
            PanelAnswer::Ok)
        return;
    if (state.resultOpen) {
        feedback.ShowBusy(QString(), false, false);
        RereadResult(state, feedback);
        feedback.HideBusy();
    }
}
