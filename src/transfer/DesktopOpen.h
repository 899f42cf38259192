#pragma once

#include "common/DesktopEntries.h"

#include <QString>
#include <QStringList>
#include <QUrl>
#include <functional>

// Opening files with the desktop's application for their type (DesktopEntries.h finds it).
// Knowing the application first is what tells "no application for this type" apart from a
// launcher that starts and then finds nothing to run.

// The program and arguments that open path with the application (its Exec line with the
// field codes expanded; the path is appended when the line names no file).
QStringList launchCommand(const DesktopApplication& app, const QString& path);

// Opens path with the application for its type. False when there is none or it cannot be
// started. platformOpen (the toolkit's opener) is tried first; when it fails the application
// is started directly.
bool openWithDefaultApplication(const QString& path,
                                const std::function<bool(const QUrl&)>& platformOpen);
