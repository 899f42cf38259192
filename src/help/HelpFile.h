#pragma once

#include <QString>
#include <QStringList>
#include <functional>

// Opening the help: "Tolvan.chm" from the program's folder, else from the installed data
// folders; with the desktop's viewer for it, or, when the desktop has none, the same help's
// HTML index beside it in the browser.

// The folders searched for the help file, in order: the program's folder, the data folder of
// an installation around the program (../share/tolvan), the desktop's data folders.
QStringList helpFolders(const QString& programFolder);

// The first help file found in the folders, or "" when there is none.
QString findHelpFile(const QStringList& folders);

// What opening the help shows: the help file when hasViewer says the desktop can open it,
// else the HTML index installed beside it; "" when there is no help file, or no viewer and
// no index.
QString helpDocument(const QStringList& folders,
                     const std::function<bool(const QString&)>& hasViewer);

// The help menu item of any window: opens the help with the desktop, without waiting. Returns
// what to tell the user when it could not (no help file, or nothing on the desktop that opens
// it, naming the file), "" when the desktop took it.
QString OpenHelpFile();
