#pragma once

#include <QString>

// Texts of the Excel and HTML output.
inline const QString kNoOutputData = QStringLiteral("出力対象データがありません");
inline const QString kErrorStatus = QStringLiteral("ERROR");
// The source of failures the program raises itself rather than the database.
inline const QString kProgramSource = QStringLiteral("Tolvan");
inline const QString kExcelSource = QStringLiteral("Excel");

// Error numbers of the program's own failures, as the platform numbers them.
namespace OutputError {
constexpr qint32 CannotCreateObject = 429;
constexpr qint32 SubscriptOutOfRange = 9;
constexpr qint32 PathFileAccess = 75;
constexpr qint32 DeviceIo = 57;
constexpr qint32 ObjectDefined = 1004;
} // namespace OutputError

// The page is written but nothing on the desktop opens HTML files; its path follows.
inline const QString kNoHtmlHandler =
    QStringLiteral("HTMLファイルを開くアプリケーションがありません");
inline const QString kNoXlsxHandler =
    QStringLiteral("XLSXファイルを開くアプリケーションがありません");
