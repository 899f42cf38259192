#pragma once

#include "db/ConnectionRecord.h"

#include <QString>

// The busy panel, the message panel and the status bar: their texts, apart from the widgets
// that show them.

inline const QString kPleaseWait = QStringLiteral("しばらくお待ちください");

// The busy panel's text: a line break, then the message or kPleaseWait.
QString busyPanelText(const QString& message);

// The message panel's text: a trailing bare line feed dropped; a run-time error report
// trimmed, anything else after a line break.
QString messagePanelText(const QString& message);

// The status-bar panels "database" and "user"; the default database is read anew each time.
QString databasePanelText(db::ConnectionRecord& connection);
QString userPanelText(const db::ConnectionRecord& connection);

// The status bar's answer to an edit of a computed column.
inline const QString kComputedColumnReadOnly =
    QStringLiteral("この列は計算された値のため編集できません");
inline const QString kDatabaseReadOnly =
    QStringLiteral("このデータベースは読み取り専用のため編集できません");
// The grid's copy commands: its menu and the status bar's report.
inline const QString kCopyCells = QStringLiteral("コピー(&C)\tCtrl+C");
inline const QString kCopyWithNames = QStringLiteral("列名付きでコピー(&H)\tCtrl+Shift+C");
inline const QString kCopyNames = QStringLiteral("列名をコピー(&N)");
inline const QString kRowsCopied = QStringLiteral("件のデータをコピーしました");
// Pasting cells from a spreadsheet: the grid's menu, what it asks and reports.
inline const QString kPasteCells = QStringLiteral("貼り付け(&P)\tCtrl+V");
inline const QString kPasteRows = QStringLiteral("行として貼り付け(&R)");
inline const QString kPasteQuestion = QStringLiteral("%1行のデータを変更しますか？");
inline const QString kPasteOutside =
    QStringLiteral("貼り付ける範囲が表の外にはみ出します。何も書き込みませんでした");
// A cell pasted onto that cannot be edited: nothing is written.
inline const QString kPasteNotEditable =
    QStringLiteral("編集できない列には貼り付けられません。何も書き込みませんでした");
inline const QString kRowsPasted = QStringLiteral("件のデータを貼り付けました");
// After the report of a row the database refused: the rows written before it stay.
inline const QString kPastedBefore = QStringLiteral("それまでの%1件のデータは書き込まれています");
// The find bar above the grid.
inline const QString kFindLabel = QStringLiteral("検索:");
inline const QString kFindNext = QStringLiteral("次へ");
inline const QString kFindPrevious = QStringLiteral("前へ");
inline const QString kFindMatchCase = QStringLiteral("大文字と小文字を区別する");
inline const QString kFindRowsOnly = QStringLiteral("一致する行だけ表示");
inline const QString kFindNothing = QStringLiteral("見つかりませんでした");
// "n件 / 全m件": the rows shown of the rows held.
inline QString findRowsText(qint64 shown, qint64 all) {
    return QStringLiteral("%1件 / 全%2件").arg(shown).arg(all);
}

// The wait-picture slot to show (0-based) for count pictures and r drawn from [0, 1).
int waitPictureSlot(int count, double r);
