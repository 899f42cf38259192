#pragma once

#include <QString>

// The column-information panel of the grid: the type's name (with its size, or precision
// and scale, where these matter) and its description; numbers not in the table give "".
QString gridTypeText(int type, qint64 definedSize, int precision, int scale);
QString gridTypeTip(int type);
