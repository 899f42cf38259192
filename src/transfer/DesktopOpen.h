#pragma once

#include <QString>
#include <QStringList>
#include <QUrl>
#include <functional>

// Opening files with the desktop's application for their type, found the way freedesktop.org
// desktops find it: the mimeapps.list files (defaults, then added associations) under
// $XDG_CONFIG_HOME, $XDG_CONFIG_DIRS, $XDG_DATA_HOME and $XDG_DATA_DIRS, then every installed
// .desktop entry that lists the type. Knowing the application first is what tells "no
// application for this type" apart from a launcher that starts and then finds nothing to run.

struct DesktopApplication {
    QString id;   // "name.desktop"
    QString file; // its path
    QString exec;
    QString name;
    QString icon;
    bool isValid() const { return !exec.isEmpty(); }
};

// The application for a MIME type or one of its aliases; invalid when there is none.
DesktopApplication defaultApplicationFor(const QString& mimeType);

// The program and arguments that open path with the application (its Exec line with the
// field codes expanded; the path is appended when the line names no file).
QStringList launchCommand(const DesktopApplication& app, const QString& path);

// Opens path with the application for its type. False when there is none or it cannot be
// started. platformOpen (the toolkit's opener) is tried first; when it fails the application
// is started directly.
bool openWithDefaultApplication(const QString& path,
                                const std::function<bool(const QUrl&)>& platformOpen);
