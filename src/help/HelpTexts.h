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

inline const QString kAboutCaption = QStringLiteral("About ");
inline const QString kVersionWord = QStringLiteral(" version ");
inline const QString kAdoVersion = QStringLiteral("ADO version ");
