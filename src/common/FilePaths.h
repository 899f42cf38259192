#pragma once

#include <QString>

// The path up to and including its last "/"; "" when it has none.
QString FolderOfPath(const QString& path);
