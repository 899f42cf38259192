#pragma once

#include "ConnectionRecord.h"

#include <QString>

// The texts of the main window's feedback, apart from the widgets that show them.

// The busy panel's text: a line break, then the message or "しばらくお待ちください".
QString busyPanelText(const QString& message);

// The message panel's text: a trailing bare line feed dropped; a run-time error report
// trimmed, anything else after a line break.
QString messagePanelText(const QString& message);

// The status-bar panels "database" and "user"; the default database is read anew each time.
QString databasePanelText(db::ConnectionRecord& connection);
QString userPanelText(const db::ConnectionRecord& connection);

// The path up to and including its last "/"; "" when it has none.
QString FolderOfPath(const QString& path);

// The wait-picture slot to show (0-based) for count pictures and r drawn from [0, 1).
int waitPictureSlot(int count, double r);

// Blanks (U+0020 only) trimmed at both ends.
QString trimBlanks(const QString& text);
