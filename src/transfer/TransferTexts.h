#pragma once

#include <QString>

// The texts the transfers show, in one place.
inline const QString kRowsHandled = QStringLiteral("件のデータを処理しました");
inline const QString kNothingToExport = QStringLiteral("出力対象データがありません");
inline const QString kAbortQuestion = QStringLiteral("処理を中断しますか？");
inline const QString kOpenResultFirst = QStringLiteral("レコードセットを取得してください");
// The current result came from a statement that changed data: finding its table would run it
// again.
inline const QString kNoImportIntoChange =
    QStringLiteral("データを変更したクエリの結果にはインポートできません");
inline const QString kFileMissing = QStringLiteral("指定されたファイルは存在しません");
// A folder, FIFO or device where a file to read was asked for.
inline const QString kNotAFile = QStringLiteral("指定されたパスはファイルではありません");
// A record with more fields than the target: its line, its fields, the table's columns.
inline const QString kTooManyFields =
    QStringLiteral("%1行目のフィールド数(%2)がテーブルの列数(%3)を超えています");
// A sheet row with a cell no column can take: the cell's value ("#N/A"); kAtLine before it.
inline const QString kBadCellValue = QStringLiteral("セルの値 %1 はインポートできません");
// Before the database's reason for refusing the row of a line.
inline const QString kAtLine = QStringLiteral("%1行目: ");
// After an import that passed over rows the database refused: how many, then the first lines.
inline const QString kRowsRefused =
    QStringLiteral("%1件のデータはデータベースに登録されませんでした");

// A quoted value still open at the end of the file: kept to the end, and its first line named.
inline const QString kUnclosedQuote = QStringLiteral(
    "%1行目で始まる引用符が閉じられていません。ファイルの終わりまでを値として読み込みました");
inline const QString kStatusError = QStringLiteral("ERROR");
// A failed export left the earlier file as it was; the rows it wrote are in the file named after
// this text.
inline const QString kRowsKeptIn =
    QStringLiteral("元のファイルは変更されていません。出力したデータは次のファイルにあります: ");
// The output is written but nothing on the desktop opens its kind of file.
inline const QString kNoHtmlHandler =
    QStringLiteral("HTMLファイルを開くアプリケーションがありません");
inline const QString kNoXlsxHandler =
    QStringLiteral("XLSXファイルを開くアプリケーションがありません");
// Such a workbook is offered for saving and kept where the user saved it, or where it was.
inline const QString kSaveWorkbookTitle = QStringLiteral("EXCELファイルの保存");
inline const QString kWorkbookFilter = QStringLiteral("EXCELファイル (*.xlsx)|*.xlsx");
inline const QString kWorkbookKeptIn = QStringLiteral(
    "XLSXファイルを開くアプリケーションがありません。出力したデータは次のファイルにあります: ");
inline const QString kDropRefused =
    QStringLiteral("拡張子がCSV(CSV)、またはTAB(固定長)の\r\nファイルのみインポートできます");

// The file dialogs of the CSV and TAB commands; export and import share them.
inline const QString kCsvDialogTitle = QStringLiteral("CSVファイル インポート");
inline const QString kCsvDialogFilter =
    QStringLiteral("CSVファイル (*.csv)|*.csv|テキストファイル (*.txt)|*.txt");
inline const QString kTabDialogTitle = QStringLiteral("TABファイル インポート");
inline const QString kTabDialogFilter =
    QStringLiteral("TABファイル (*.tab)|*.tab|テキストファイル (*.txt)|*.txt");

// The import reads workbooks too, offered in its file dialogs, and asks for one of their sheets.
inline const QString kWorkbookImportFilter =
    QStringLiteral("EXCELファイル (*.xlsx;*.xls)|*.xlsx;*.xls");
inline const QString kSheetChoice = QStringLiteral("インポートするシートを選択してください");

inline const QString kTab = QStringLiteral("\t");
inline const QString kComma = QStringLiteral(",");
