#pragma once

#include <QString>

// Status texts of the executor.
inline const QString kRowsProcessed = QStringLiteral("件のデータが処理されました");
inline const QString kQueryDone = QStringLiteral("クエリは正常に処理されました");
// After the count of rows an UPDATE, DELETE or INSERT changed, as the database tells it.
inline const QString kRowsUpdated = QStringLiteral("件のデータが更新されました");
inline const QString kRowsDeleted = QStringLiteral("件のデータが削除されました");
inline const QString kRowsInserted = QStringLiteral("件のデータが追加されました");
inline const QString kQueryNotRun = QStringLiteral("クエリは実行されませんでした");
// A statement the user stopped (Escape, the busy panel's Cancel): no failure to report.
inline const QString kQueryCancelled = QStringLiteral("クエリの実行を中止しました");
inline const QString kDeleteQuestion = QStringLiteral("削除クエリを実行しますか？");
inline const QString kRerunQuestion =
    QStringLiteral("このクエリはデータを変更する可能性があります。もう一度実行しますか？");
