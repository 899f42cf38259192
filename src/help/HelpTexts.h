#pragma once

#include <QString>

// The fixed names and texts of the help and the About box.
inline const QString kHelpFileName = QStringLiteral("Tolvan.chm");
// The same help as plain pages, installed beside the help file.
inline const QString kHelpIndexPage = QStringLiteral("help/index.html");
// Where an installed Tolvan keeps its data, relative to the program's folder and to the
// desktop's data folders.
inline const QString kInstalledDataFolder = QStringLiteral("../share/tolvan");
inline const QString kDataFolderName = QStringLiteral("tolvan");

// What opening the help reports when the desktop cannot show it.
inline const QString kNoHelpFile = QStringLiteral("ヘルプファイルが見つかりません: ");
inline const QString kNoHelpViewer =
    QStringLiteral("ヘルプを開くアプリケーションがありません。ヘルプは次のファイルにあります: ");

inline const QString kAboutCaption = QStringLiteral("About ");
inline const QString kVersionWord = QStringLiteral(" version ");
inline const QString kAdoVersion = QStringLiteral("ADO version ");
