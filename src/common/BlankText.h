#pragma once

#include <QString>
#include <QStringView>

// Blanks (U+0020 only) trimmed at both ends; tabs and other white space stay.
QStringView trimBlanks(QStringView text);
QString trimBlanks(const QString& text);
