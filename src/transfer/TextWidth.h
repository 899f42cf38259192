#pragma once

#include <QStringView>

// The width of a text in character cells: East Asian wide and full-width characters count
// two, combining marks and zero-width characters none, everything else one.
int displayWidth(QStringView text);
