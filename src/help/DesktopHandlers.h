#pragma once

#include <QString>
#include <QStringList>

// Which desktop applications open a file type, following the desktop's own association
// files (mimeapps.list in the user's and the system's config and data folders, then the
// MimeType lines of the installed .desktop entries). Only entries that are installed and not
// hidden count.

// Desktop entry ids ("xchm.desktop") that open the MIME type, the preferred one first.
QStringList desktopHandlers(const QString& mimeType);

// True when some installed application opens this file's type (or one of its aliases).
bool hasDesktopHandler(const QString& filePath);
