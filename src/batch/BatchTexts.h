#pragma once

#include "query/QueryTexts.h"
#include "widgets/MenuTexts.h"

#include <QString>

// The batch window's user-visible texts, each written once.
namespace batchtext {

inline const QString kCrLf = QStringLiteral("\r\n");

inline const QString kCaptionSuffix = QStringLiteral(" バッチ処理");
inline const QString kExecute = QStringLiteral("実行");
inline const QString kStop = QStringLiteral("中止");
inline const QString kMenuFile = QString::fromUtf8(menutext::kFile);
inline const QString kMenuReadFile = QStringLiteral("読み込み(&R)");
inline const QString kMenuEnd = QString::fromUtf8(menutext::kExit);
inline const QString kMenuHelp = QString::fromUtf8(menutext::kHelp);
inline const QString kMenuIndex = QString::fromUtf8(menutext::kIndex);
inline const QString kMenuAbout = QString::fromUtf8(menutext::kAbout);

// The mode list, by mode code.
inline const QString kModes[] = {
    QStringLiteral("CSVファイルのバッチインポート"),
    QStringLiteral("TABファイルのバッチインポート"),
    QStringLiteral("CSVファイルのバッチエクスポート"),
    QStringLiteral("TABファイルのバッチエクスポート"),
    QStringLiteral("全てのテーブルのエクスポート(CSV)"),
    QStringLiteral("全てのテーブルのエクスポート(TAB)"),
};

// Log entries.
inline const QString kNotProcessed = QStringLiteral("は正常に処理されませんでした。");
inline const QString kEnterCommands =
    QStringLiteral("テキストボックスにバッチ命令を記入してください（テーブル名, ファイル名)");
inline const QString kMalformed = QStringLiteral("入力形式が不正です。");
inline const QString kNoTableName = QStringLiteral("テーブル名が入力されていません。");
inline const QString kNoFileName = QStringLiteral("ファイル名が入力されていません。");
inline const QString kBadFileName = QStringLiteral("ファイル名が不正です。");
inline const QString kBadTableName = QStringLiteral("テーブル名が不正です。");
inline const QString kNoSuchFile = QStringLiteral("ファイルが存在しません。");
inline const QString kTo = QStringLiteral("に");
// The words of the status bar after an INSERT.
inline const QString kRowsAdded = kRowsInserted;
// The TAB import has always ended its count with a full stop, the CSV import not.
inline const QString kRowsAddedTab = kRowsAdded + QStringLiteral("。");
inline const QString kRowsWritten = QStringLiteral("件のデータが出力されました");
// A line the user stopped: what it stored, after this text; the lines after it do not run.
inline const QString kStopped = QStringLiteral("処理を中断しました。");
inline const QString kRestNotRun =
    QStringLiteral("中断したため、残りのバッチ命令は実行されませんでした");
inline const QString kEnterDirectory =
    QStringLiteral("テキストボックスに出力ファイルを保存するディレクトリを記入してください");
inline const QString kNoSuchDirectory = QStringLiteral("入力されたディレクトリは存在しません");

// The export of all tables and its batch files.
inline const QString kBatchFileCsv = QStringLiteral("ImportAllCSV.txt");
inline const QString kBatchFileTab = QStringLiteral("ImportAllTab.txt");
inline const QString kBatchLineSeparator = QStringLiteral(", ");

// Loading a batch file.
inline const QString kReadFileTitle = QStringLiteral("バッチファイル インポート");
inline const QString kReadFileFilter = QStringLiteral("テキストファイル (*.txt)|*.txt");

} // namespace batchtext
