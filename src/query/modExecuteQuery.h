#pragma once

#include "ProgramState.h"
#include "WindowFeedback.h"

#include <QString>
#include <functional>

// The Execute command: runs the selection of the query box when it holds more than blanks
// and line breaks, else its whole text; the statement run goes to addToHistory. False when
// the box held nothing to run.
bool ExecuteQueryBox(ProgramState& state, WindowFeedback& feedback, const QString& queryText,
                     const QString& selectedText,
                     const std::function<void(const QString&)>& addToHistory);

// Runs one statement and shows its outcome; false after a failure (reported in the panel).
bool ExecuteQuery(ProgramState& state, WindowFeedback& feedback, const QString& statement);

// Sets the command timeout from the setting's text: not numeric gives 30; a number outside
// 16 bits fails.
bool ApplyQueryTimeout(ProgramState& state, const QString& setting, db::Error& failure);

// Cancels the statement that ExecuteQuery is running (Escape, the busy panel's Cancel);
// nothing when none runs.
void CancelRunningStatement(ProgramState& state);

// The Refresh command: reads the current result again; failures are silent.
void RequeryResult(ProgramState& state, WindowFeedback& feedback);

// Reads the current result again as a statement runs: on its worker, the rows shown as they
// arrive, Cancel and Escape stopping it, the sort kept. False after a failure or a cancel,
// which leave the rows shown before; nothing is reported. Runs the result's statement again,
// so only for one that changes nothing, or at the user's own request.
bool RereadResult(ProgramState& state, WindowFeedback& feedback);

// Status texts of the executor.
inline const QString kRowsProcessed = QStringLiteral("件のデータが処理されました");
inline const QString kQueryDone = QStringLiteral("クエリは正常に処理されました");
// After the count of rows an UPDATE, DELETE or INSERT changed, as the database tells it.
inline const QString kRowsUpdated = QStringLiteral("件のデータが更新されました");
inline const QString kRowsDeleted = QStringLiteral("件のデータが削除されました");
inline const QString kRowsInserted = QStringLiteral("件のデータが追加されました");
inline const QString kQueryNotRun = QStringLiteral("クエリは実行されませんでした");
inline const QString kDeleteQuestion = QStringLiteral("削除クエリを実行しますか？");
inline const QString kRerunQuestion =
    QStringLiteral("このクエリはデータを変更する可能性があります。もう一度実行しますか？");
