#pragma once

#include <QString>

// A file-type filter of "|"-separated description and pattern pairs
// ("CSVファイル (*.csv)|*.csv|...") as the file dialogs take it ("CSVファイル (*.csv);;...").
// A description that does not show its pattern gets it appended in parentheses; one that
// shows ";"-separated patterns shows them blank-separated.
QString dialogFilter(const QString& pairs);
