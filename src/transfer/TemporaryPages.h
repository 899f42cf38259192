#pragma once

#include <QFile>
#include <QString>
#include <QStringList>

// The temporary HTML pages "temp" + N + ".html" that the browser output leaves behind.

// The highest number the close step deletes.
inline constexpr int kLastDeletedPage = 256;

QString temporaryPageName(int number);

// Where pages go, in order of preference: the program's folder, then the per-user cache folder.
QStringList temporaryPageFolders(const QString& programFolder);

// Creates the page with the first free number in the first folder where a file can be created,
// and leaves it open for writing in file. False when no folder takes a new file.
bool createTemporaryPage(const QStringList& folders, QFile& file);

// Deletes pages 0 to kLastDeletedPage in each folder; a page still held open elsewhere stays.
void DeleteTemporaryPages(const QStringList& folders);
