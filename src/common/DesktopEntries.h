#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// Which desktop applications open a file type, found the way freedesktop.org desktops find
// it: the mimeapps.list files (defaults, then added associations less those a file of the same
// or more importance removed) in the user's and the system's config and data folders, then
// every installed .desktop entry that lists the type. Only entries that are installed, not
// hidden and able to run count; the first folder that holds an id decides it.

struct DesktopApplication {
    QString id;   // "name.desktop"; "kde-name.desktop" for applications/kde/name.desktop
    QString file; // its path
    QString exec;
    QString name;
    QString icon;
    bool isValid() const { return !exec.isEmpty(); }
};

// The applications that open any of the MIME types, the preferred one first.
QList<DesktopApplication> desktopApplications(const QStringList& mimeTypes);

// The ids of the applications that open the MIME type, the preferred one first.
QStringList desktopHandlers(const QString& mimeType);

// The application for a MIME type or one of its aliases; invalid when there is none.
DesktopApplication defaultApplicationFor(const QString& mimeType);

// True when some installed application opens this file's type (or one of its aliases).
bool hasDesktopHandler(const QString& filePath);
